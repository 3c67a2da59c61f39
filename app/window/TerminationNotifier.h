// Termination signals (SIGTERM of a logout or of `kill`, SIGHUP of a closed terminal, SIGINT)
// turned into an orderly end through the event loop. The signal handler only writes to one end
// of a socket pair; a notifier on the other end tells the program here, which saves what it must
// and cancels its work. When the loop cannot act in time (the program is busy) or a second signal
// comes, the handler itself removes the unfinished files and ends the process by the signal.
#pragma once

#include "platform/fs/UniqueFd.h"

#include <QObject>

class QSocketNotifier;

class TerminationNotifier : public QObject {
    Q_OBJECT
public:
    // The time the program has to end after the first signal.
    static constexpr unsigned kGraceSeconds = 10;

    // Takes the termination signals over from now on; when no socket can be had, they keep
    // ending the process at once.
    explicit TerminationNotifier(QObject* parent = nullptr);
    // The signals end the process at once again.
    ~TerminationNotifier() override;

signals:
    // A termination signal came: the program is to end now, without asking anything.
    void Requested();

private:
    void OnReadable();

    UniqueFd handlerEnd_;
    UniqueFd loopEnd_;
    QSocketNotifier* notifier_ = nullptr;
};
