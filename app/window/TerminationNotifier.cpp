#include "app/window/TerminationNotifier.h"

#include "platform/fs/RemoveOnTermination.h"

#include <QSocketNotifier>

#include <array>
#include <sys/socket.h>

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {
    // Non-blocking, so that the handler never waits on a full socket.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    handlerEnd_.Reset(ends[0]);
    loopEnd_.Reset(ends[1]);
    notifier_ = new QSocketNotifier(loopEnd_.Get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationNotifier::OnReadable);
    ostrivane::fs::TerminateInOrder(handlerEnd_.Get(), kGraceSeconds);
}

TerminationNotifier::~TerminationNotifier() {
    if (handlerEnd_.Valid())
        ostrivane::fs::TerminateInOrder(-1, kGraceSeconds);
    delete notifier_; // before the socket it watches is closed
}

void TerminationNotifier::OnReadable() {
    std::array<char, 16> bytes{};
    while (::read(loopEnd_.Get(), bytes.data(), bytes.size()) > 0) {
    }
    // Only the first signal comes here; a second one ends the process in its handler.
    notifier_->setEnabled(false);
    emit Requested();
}
