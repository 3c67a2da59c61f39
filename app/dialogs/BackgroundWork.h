// One piece of work at a time on a thread of its own, off the user-interface thread: the work
// watches an atomic cancel flag and reports how far it got; the progress and the end reach the
// user-interface thread as queued signals, so that the windows, the tray and the timers stay
// live meanwhile.
#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace ostrivane::ui {

class BackgroundWork : public QObject {
    Q_OBJECT
public:
    explicit BackgroundWork(QObject* parent = nullptr);
    // Cancels the work that runs and waits for it.
    ~BackgroundWork() override;

    bool Running() const { return running_; }
    // Runs `work` on a thread of its own; Finished follows on the user-interface thread.
    void Start(std::function<void()> work);
    // Asks the running work to stop.
    void Cancel() { cancel_ = true; }
    // Asks the running work to stop and waits for it to end.
    void Stop();
    // The flag the work watches; set by Cancel and Stop, cleared by Start.
    std::atomic<bool>* CancelFlag() { return &cancel_; }
    // For the work: how far it got; delivered as Progress a few times a second at most.
    void ReportProgress(quint64 done);
    // For the work: true when a report is due (a few times a second), false in between.
    bool ReportDue();

signals:
    void Progress(quint64 done);
    void Finished();

private:
    void Join();

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
    std::chrono::steady_clock::time_point lastReport_;
};

} // namespace ostrivane::ui
