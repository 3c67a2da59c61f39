// What the window tells about earlier backups: the last verified backup (or the failure of the
// latest run) in the status bar and the tray tip, read from the history of runs; the warning when
// the verified backup is old; and what starts the schedule's checks outside the tick: the start,
// the end of a run, the system's sleep and wake-up.
#include "app/run/RunHistory.h"
#include "app/schedule/DateTimeText.h"
#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/ElidedLabel.h"
#include "app/window/SleepSignal.h"
#include "app/window/TfoHlavni.h"

#include <QCheckBox>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>

namespace {

const QString kVerified = QStringLiteral("Poslední ověřená záloha: %1");
const QString kFailed = QStringLiteral("Poslední záloha selhala %1; ověřená: %2");
const QString kNone = QStringLiteral("žádná");
const QString kOldBackup = QStringLiteral("Poslední ověřená záloha je starší než 7 dní.");
const QString kHistoryNotWritten =
    QStringLiteral("Záznam o záloze nelze zapsat do historie záloh %1; zálohy samotné to nijak "
                   "neomezuje.");
constexpr int kNoticeMs = 30000;

QDateTime ToDateTime(std::chrono::system_clock::time_point time) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    return QDateTime::fromMSecsSinceEpoch(
        duration_cast<milliseconds>(time.time_since_epoch()).count());
}

QString TimeOrNone(const QDateTime& time) {
    return time.isValid() ? ostrivane::DateTimeText(time) : kNone;
}

} // namespace

void TfoHlavni::StartScheduleWatch() {
    ReadRunHistory();
    auto* sleep = new SleepSignal(this);
    connect(sleep, &SleepSignal::GoingToSleep, this, [this] { scheduleWatch_.Save(); });
    connect(sleep, &SleepSignal::WokenUp, this, &TfoHlavni::CheckSchedule);
    // A moment that fell due during a restore is caught up once the restore is over.
    connect(this, &TfoHlavni::RestoreEnded, this,
            [this] { QTimer::singleShot(0, this, &TfoHlavni::CheckSchedule); });
    connect(this, &TfoHlavni::Closed, this, [this] { scheduleWatch_.Save(); });
}

void TfoHlavni::ReadRunHistory() {
    QDateTime lastVerified;
    QDateTime latest;
    QDateTime lastFailed; // start of the latest run when it failed
    for (const ostrivane::run::RunRecord& run : ostrivane::run::RunHistory(stateFolder_).Read()) {
        const QDateTime start = ToDateTime(run.Start);
        if (run.Result == ostrivane::run::RunResult::Ok &&
            (!lastVerified.isValid() || start >= lastVerified))
            lastVerified = start;
        if (!latest.isValid() || start >= latest) {
            latest = start;
            lastFailed = run.Result == ostrivane::run::RunResult::Failed ? start : QDateTime();
        }
    }
    scheduleWatch_.SetLastSuccess(lastVerified);
    LastBackupPanel->SetFullText(
        lastFailed.isValid()
            ? kFailed.arg(ostrivane::DateTimeText(lastFailed), TimeOrNone(lastVerified))
            : kVerified.arg(TimeOrNone(lastVerified)));
    SetTrayTip(ostrivane::ui::ApplicationTitle());
}

void TfoHlavni::TellHistoryNotWritten() {
    // Once per program run: the backup itself is not touched by it.
    if (historyFailureTold_)
        return;
    historyFailureTold_ = true;
    const std::string file = ostrivane::run::RunHistory(stateFolder_).Path();
    ShowScheduledNotice(kHistoryNotWritten.arg(QString::fromStdString(file)));
}

void TfoHlavni::AfterBackupRun() {
    ReadRunHistory();
    // A moment that fell due during the run is caught up now that it is over, once the run's
    // caller has finished with it.
    QTimer::singleShot(0, this, &TfoHlavni::CheckSchedule);
}

void TfoHlavni::WarnOfOldBackup(const ostrivane::ScheduleCheck& check) {
    if (ShowTrayNotice(kOldBackup + u'\n' + TimeOrNone(scheduleWatch_.LastSuccess())))
        scheduleWatch_.OldBackupTold(check);
}

bool TfoHlavni::ShowTrayNotice(const QString& text) {
    if (trayNotice_) {
        trayNotice_(text);
        return true;
    }
    if (!InTray_ || !trayIcon_)
        return false;
    trayIcon_->showMessage(ostrivane::ui::ApplicationTitle(), text, QSystemTrayIcon::Information,
                           kNoticeMs);
    return true;
}

QString TfoHlavni::TrayTipText(const QString& title) const {
    const QString& lastBackup = LastBackupPanel->FullText();
    if (backupRunning_ || lastBackup.isEmpty())
        return title;
    return title + u'\n' + lastBackup;
}
