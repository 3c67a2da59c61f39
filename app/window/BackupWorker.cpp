#include "app/window/BackupWorker.h"

#include "app/window/EngineHooks.h"
#include "cabinet/component/TMakeCab.h"

#include <QWidget>

#include <utility>

BackupWorker::BackupWorker(TMakeCab& cab, QWidget* window) : QObject(window), cab_(cab) {
    cab.UseCancelFlag(work_.CancelFlag());
    cab.Hooks = ostrivane::ui::MakeEngineHooks(window, *work_.CancelFlag());
    // The library reports every block it reads: a few reports a second reach the window, and the
    // last one, which shows the whole backup packed.
    cab.OnProgress = [this](TComponent*, std::uint8_t byFile, std::uint8_t byArchive) {
        if (byArchive == 100 || work_.ReportDue())
            Deliver([this, byFile, byArchive] { emit Progress(byFile, byArchive); });
    };
    cab.OnVerifyProgress = [this](TComponent*, std::uint8_t percent) {
        Deliver([this, percent] { emit Verification(percent); });
    };
    // Delivered after the work's own end (its thread joined), on this object's thread.
    connect(&work_, &ostrivane::ui::BackgroundWork::Finished, this, [this] {
        if (std::exchange(endPending_, false))
            emit Finished();
    });
}

BackupWorker::~BackupWorker() {
    Stop();
}

void BackupWorker::Start(ostrivane::run::BackupRequest request) {
    endPending_ = true;
    work_.Start([this, request = std::move(request)] {
        outcome_ = ostrivane::run::RunBackup(cab_, request);
    });
}

void BackupWorker::Deliver(std::function<void()> report) {
    QMetaObject::invokeMethod(
        this,
        [this, report = std::move(report)] {
            if (endPending_)
                report();
        },
        Qt::QueuedConnection);
}

void BackupWorker::Stop() {
    work_.Stop();
    endPending_ = false;
}
