// A backup of the window, off the window's thread: the one backup run (app/run) on the window's
// archive component, on a thread of its own. The window follows it through queued signals (the
// packing's two percentages a few times a second, the read-back's share, the end) and cancels it
// through one atomic flag, which the engine tests while it scans, packs and reads back. The
// engine processes no events: the window's own event loop runs beside it.
#pragma once

#include "app/dialogs/BackgroundWork.h"
#include "app/run/BackupRun.h"

#include <QObject>

#include <cstdint>
#include <functional>

class QWidget;
class TMakeCab;

class BackupWorker : public QObject {
    Q_OBJECT
public:
    // Runs the backups on `cab`; the engine's questions go to the user over `window`.
    BackupWorker(TMakeCab& cab, QWidget* window);
    // Cancels a running backup and waits for it.
    ~BackupWorker() override;

    bool Running() const { return work_.Running(); }
    // Starts `request`; Finished follows once it has ended.
    void Start(ostrivane::run::BackupRequest request);
    // Asks the running backup to stop; it stops at the engine's next test of the flag. Before the
    // next start, the flag stays set.
    void Cancel() { work_.Cancel(); }
    // Asks the running backup to stop and waits for it to end; no signal follows then.
    void Stop();
    // How the last backup ended (once it has).
    const ostrivane::run::RunOutcome& Outcome() const { return outcome_; }

signals:
    // While packing: the share of the file being packed and of the whole backup, 0-100.
    void Progress(std::uint8_t byFile, std::uint8_t byArchive);
    // While the written archive is read back: the share checked, 0-100.
    void Verification(std::uint8_t percent);
    // The backup has ended and its thread is gone; Outcome() tells how it ended.
    void Finished();

private:
    // Hands a report of the backup's thread to this object's thread, where it is made unless
    // the backup was stopped meanwhile.
    void Deliver(std::function<void()> report);

    TMakeCab& cab_;
    ostrivane::ui::BackgroundWork work_;
    ostrivane::run::RunOutcome outcome_;
    bool endPending_ = false;
};
