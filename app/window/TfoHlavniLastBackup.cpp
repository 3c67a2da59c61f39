// What the window tells about earlier backups: the job's last verified backup (or the failure of
// its latest run) in the status bar and the tray tip, read from the history of runs; the warning
// when the verified backup is old; the notices on the desktop; and what starts the schedule's
// checks outside the tick: the start, the end of a run, the system's sleep and wake-up, and the
// power coming and going.
#include "app/job/InputCheck.h"
#include "app/run/RunHistory.h"
#include "app/schedule/DateTimeText.h"
#include "app/schedule/TimeOfDayQt.h"
#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/FittingLabel.h"
#include "app/window/BatteryPower.h"
#include "app/window/DesktopNotices.h"
#include "app/window/SleepSignal.h"
#include "app/window/TfoHlavni.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
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
constexpr int kFailureNoticeMs = 60000;

// A time field whose time the schedule cannot read: marked, and the mark's tip says why.
constexpr const char* kUnreadableProperty = "unreadableTime";
const QString kUnreadableStyle = QStringLiteral("QLineEdit { background-color: #ffd7d7; }");
const QString kUnreadableTip =
    QStringLiteral("Tento čas nelze přečíst, automatická záloha v tento den neproběhne. Zadejte "
                   "čas jako 13:40 nebo 13:40:55.");
const QString kUnreadableTimes =
    QStringLiteral("Čas automatické zálohy nelze přečíst, v tyto dny záloha neproběhne "
                   "(zadejte čas jako 13:40 nebo 13:40:55):");
const QString kDayTime = QStringLiteral("%1 „%2“");

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
    // A moment held back on battery runs as soon as the power returns.
    batteryPower_ = new BatteryPower(this);
    connect(batteryPower_, &BatteryPower::Changed, this,
            [this] { QTimer::singleShot(0, this, &TfoHlavni::CheckSchedule); });
    // A moment that fell due during a restore is caught up once the restore is over.
    connect(this, &TfoHlavni::RestoreEnded, this,
            [this] { QTimer::singleShot(0, this, &TfoHlavni::CheckSchedule); });
    connect(this, &TfoHlavni::Closed, this, [this] { scheduleWatch_.Save(); });
}

std::string TfoHlavni::JobOfFields() const {
    return ostrivane::job::JobOfFields(Edit9->text().toStdString(), Edit8->text().toStdString());
}

void TfoHlavni::ReadRunHistory() {
    using ostrivane::run::RunResult;
    // Only the runs of the job the fields describe count, each the last of its kind in the file:
    // a backup of another archive is not this job's, one without the read-back is not verified.
    const ostrivane::run::JobStanding standing = ostrivane::run::StandingOfJob(
        ostrivane::run::RunHistory(stateFolder_).Read(), JobOfFields());
    const QDateTime lastVerified =
        standing.LastVerified ? ToDateTime(standing.LastVerified->Start) : QDateTime();
    const bool failed = standing.Latest && standing.Latest->Result == RunResult::Failed;
    scheduleWatch_.SetLastSuccess(lastVerified);
    LastBackupPanel->SetFullText(
        failed ? kFailed.arg(ostrivane::DateTimeText(ToDateTime(standing.Latest->Start)),
                             TimeOrNone(lastVerified))
               : kVerified.arg(TimeOrNone(lastVerified)));
    LayOutBottom();
    SetTrayTip(ostrivane::ui::ApplicationTitle());
}

void TfoHlavni::TellHistoryNotWritten() {
    // Once per program run: the backup itself is not touched by it.
    if (historyFailureTold_)
        return;
    historyFailureTold_ = true;
    const std::string file = ostrivane::run::RunHistory(stateFolder_).Path();
    TellFailure(kHistoryNotWritten.arg(QString::fromStdString(file)));
}

void TfoHlavni::AfterBackupRun() {
    // Every run of the window is a run of the job: a moment that fell due while it ran was its
    // own, and no second backup follows it.
    scheduleWatch_.BackupEnded();
    ReadRunHistory();
    // The schedule is checked again once the run's caller has finished with it.
    QTimer::singleShot(0, this, &TfoHlavni::CheckSchedule);
}

void TfoHlavni::WarnOfOldBackup(const ostrivane::ScheduleCheck& check) {
    TellNotice(kOldBackup + u'\n' + TimeOrNone(scheduleWatch_.LastSuccess()));
    scheduleWatch_.OldBackupTold(check);
}

void TfoHlavni::TellFailure(const QString& text) {
    if (failureNotice_)
        failureNotice_(text);
    else
        ShowDesktopNotice(text, true);
}

void TfoHlavni::TellNotice(const QString& text) {
    if (notice_)
        notice_(text);
    else
        ShowDesktopNotice(text, false);
}

void TfoHlavni::ShowDesktopNotice(const QString& text, bool failure) {
    // The balloon only where no notification service took the notice; without a tray either, a
    // message that holds nothing up.
    const QPointer<TfoHlavni> window(this);
    desktopNotices_->Show(
        ostrivane::ui::kProgramTitle, text,
        failure ? DesktopNotices::Kind::Failure : DesktopNotices::Kind::Information,
        [window, text, failure] {
            if (!window)
                return;
            if (window->InTray_ && window->trayIcon_) {
                window->trayIcon_->showMessage(ostrivane::ui::ApplicationTitle(), text,
                                               failure ? QSystemTrayIcon::Critical
                                                       : QSystemTrayIcon::Information,
                                               failure ? kFailureNoticeMs : kNoticeMs);
                return;
            }
            auto* box =
                new QMessageBox(failure ? QMessageBox::Critical : QMessageBox::Information,
                                ostrivane::ui::ApplicationTitle(), text, QMessageBox::Ok, window);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setModal(false);
            box->show();
        });
}

void TfoHlavni::MarkUnreadableTimes() {
    for (std::size_t day = 0; day < EditTime.size(); ++day) {
        QLineEdit* edit = EditTime[day];
        const bool unreadable =
            CheckBoxX[day]->isChecked() && !ostrivane::IsValidTimeOfDay(edit->text());
        if (edit->property(kUnreadableProperty).toBool() == unreadable)
            continue;
        edit->setProperty(kUnreadableProperty, unreadable);
        edit->setStyleSheet(unreadable ? kUnreadableStyle : QString());
        edit->setToolTip(unreadable ? kUnreadableTip : QString());
    }
}

void TfoHlavni::TellUnreadableTimes() {
    QStringList days;
    for (std::size_t day = 0; day < EditTime.size(); ++day) {
        if (EditTime[day]->property(kUnreadableProperty).toBool())
            days.append(kDayTime.arg(CheckBoxX[day]->text(), EditTime[day]->text()));
    }
    if (!days.isEmpty())
        TellNotice(kUnreadableTimes + u'\n' + days.join(u'\n'));
}

QString TfoHlavni::TrayTipText(const QString& title) const {
    const QString& lastBackup = LastBackupPanel->FullText();
    if (backupRunning_ || lastBackup.isEmpty())
        return title;
    return title + u'\n' + lastBackup;
}
