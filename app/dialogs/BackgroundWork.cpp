#include "app/dialogs/BackgroundWork.h"

namespace ostrivane::ui {

namespace {

constexpr std::chrono::milliseconds kReportInterval(50);

} // namespace

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent) {
    // The end is handled on the user-interface thread, after the thread is joined.
    connect(
        this, &BackgroundWork::Finished, this, [this] { Join(); }, Qt::QueuedConnection);
}

BackgroundWork::~BackgroundWork() {
    Stop();
}

void BackgroundWork::Stop() {
    cancel_ = true;
    Join();
}

void BackgroundWork::Join() {
    if (thread_.joinable())
        thread_.join();
    running_ = false;
}

void BackgroundWork::Start(std::function<void()> work) {
    Join();
    cancel_ = false;
    running_ = true;
    lastReport_ = {};
    thread_ = std::thread([this, work = std::move(work)] {
        work();
        emit Finished();
    });
}

void BackgroundWork::ReportProgress(quint64 done) {
    if (ReportDue())
        emit Progress(done);
}

bool BackgroundWork::ReportDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastReport_ < kReportInterval)
        return false;
    lastReport_ = now;
    return true;
}

} // namespace ostrivane::ui
