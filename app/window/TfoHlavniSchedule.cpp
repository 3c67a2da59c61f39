// The weekly schedule on the "Automat" tab: the master switch, the seven days with their times,
// the copy button, and the scheduler tick, which asks the schedule's watch (app/schedule) and
// starts the run it finds due, on time or for the latest moment it missed; on battery power
// (window/BatteryPower) the run waits for the power to return unless CheckBox5 allows it.
#include "app/job/InputCheck.h"
#include "app/schedule/DateTimeText.h"
#include "app/schedule/TimeOfDayQt.h"
#include "app/widgets/LeaveField.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/RadioGroup.h"
#include "app/widgets/TextTrim.h"
#include "app/window/BatteryPower.h"
#include "app/window/TfoHlavni.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include <array>

using ostrivane::TrimBlanks;

namespace {

const std::array<QString, 7> kCopyCaptions = {
    QStringLiteral("Ostatní dny jako pondělí"), QStringLiteral("Ostatní dny jako úterý"),
    QStringLiteral("Ostatní dny jako středa"),  QStringLiteral("Ostatní dny jako čtvrtek"),
    QStringLiteral("Ostatní dny jako pátek"),   QStringLiteral("Ostatní dny jako sobota"),
    QStringLiteral("Ostatní dny jako neděle"),
};

const QString kInvalidTime = QStringLiteral("Zadaná hodnota není platným formátem času !");
const QString kMissedNotice = QStringLiteral("Zmeškaná záloha z %1 se provádí nyní.");
const QString kSkippedNotice = QStringLiteral("Záloha z %1 byla vynechána.");
const QString kWaitedNotice =
    QStringLiteral("Záloha z %1 čekala na připojení napájení. Provádí se nyní.");
const QString kSkippedOnBatteryNotice =
    QStringLiteral("Záloha z %1 byla vynechána, počítač byl napájen z baterie.");

bool IsValidTime(const QString& text) {
    return ostrivane::IsValidTimeOfDay(TrimBlanks(text));
}

} // namespace

void TfoHlavni::CheckBox1Click() {
    Panel1->setEnabled(CheckBox1->isChecked());
    if (!CheckBox1->isChecked())
        Timer1->stop();
    else if (!Timer1->isActive())
        Timer1->start();
    scheduleWatch_.Switched(CheckBox1->isChecked());
}

void TfoHlavni::CheckBoxX1Click(QObject* Sender) {
    auto* box = qobject_cast<QCheckBox*>(Sender);
    const QString name = Sender->objectName();
    if (box == nullptr || name.size() < 10)
        return;
    // The tenth character of "CheckBoxX<n>" is the day number n.
    if (auto* edit = FindControl<QWidget>(QStringLiteral("Edit") + name.at(9)))
        edit->setEnabled(box->isChecked());
    MarkUnreadableTimes();
}

void TfoHlavni::Edit1Change(QObject* Sender) {
    auto* edit = qobject_cast<QWidget*>(Sender);
    if (edit == nullptr)
        return;
    SpeedButton1->move(SpeedButton1->x(), edit->y());
    bool ok = false;
    int day = edit->objectName().right(1).toInt(&ok);
    if (!ok)
        day = 1;
    if (day >= 1 && day <= 7)
        SpeedButton1->setText(kCopyCaptions[static_cast<std::size_t>(day - 1)]);
}

void TfoHlavni::Edit1Exit(QObject* Sender) {
    auto* edit = qobject_cast<QLineEdit*>(Sender);
    if (edit == nullptr || IsValidTime(edit->text()))
        return;
    ostrivane::ui::ShowMessage(this, kInvalidTime);
    ostrivane::ui::ReturnFocus(edit);
}

void TfoHlavni::SpeedButton1Click() {
    QLineEdit* source = nullptr;
    for (int day = 1; day <= 7 && source == nullptr; ++day) {
        QLineEdit* edit = FindControl<QLineEdit>(QStringLiteral("Edit") + QString::number(day));
        if (edit != nullptr && edit->y() == SpeedButton1->y())
            source = edit;
    }
    if (source == nullptr)
        return;
    const QString time = TrimBlanks(source->text());
    if (!IsValidTime(time)) {
        ostrivane::ui::ShowMessage(this, kInvalidTime);
        return;
    }
    DetachTimeFieldChange();
    for (int day = 1; day <= 7; ++day) {
        if (auto* edit = FindControl<QLineEdit>(QStringLiteral("Edit") + QString::number(day)))
            edit->setText(time);
        if (auto* box = FindControl<QCheckBox>(QStringLiteral("CheckBoxX") + QString::number(day)))
            box->setChecked(true);
    }
    AttachTimeFieldChange();
}

void TfoHlavni::AttachTimeFieldChange() {
    for (std::size_t i = 0; i < EditTime.size(); ++i) {
        if (timeFieldChange_[i])
            continue;
        QLineEdit* edit = EditTime[i];
        timeFieldChange_[i] =
            connect(edit, &QLineEdit::textChanged, this, [this, edit] { Edit1Change(edit); });
    }
}

void TfoHlavni::DetachTimeFieldChange() {
    for (QMetaObject::Connection& connection : timeFieldChange_) {
        disconnect(connection);
        connection = {};
    }
}

void TfoHlavni::Timer1Timer() {
    CheckSchedule();
}

void TfoHlavni::CheckSchedule() {
    using ostrivane::TickRun;
    using ostrivane::run::RunOrigin;
    ostrivane::ScheduleSettings settings;
    settings.On = CheckBox1->isChecked();
    for (std::size_t i = 0; i < settings.Week.size(); ++i)
        settings.Week[i] = {CheckBoxX[i]->isChecked(), EditTime[i]->text()};
    settings.CatchUp = CheckBox4->isChecked();
    settings.RunOnBattery = CheckBox5->isChecked();
    // A restore holds the schedule back: what falls due meanwhile is caught up once it ends. What
    // falls due during a backup is that backup's (AfterBackupRun). Until UPower has answered, the
    // power source is not known: held back too, for a few seconds at most.
    ostrivane::ScheduleHold hold;
    hold.Busy = backupRunning_ || RestoreRunning() || batteryPower_->Asking();
    hold.OnBattery = batteryPower_->OnBattery();
    const ostrivane::ScheduleCheck check = scheduleWatch_.Check(settings, hold);
    if (check.OldBackupDue)
        WarnOfOldBackup(check);
    if (check.Skipped)
        TellNotice((check.WaitedForPower ? kSkippedOnBatteryNotice : kSkippedNotice)
                       .arg(ostrivane::DateTimeText(check.Skipped->date, check.Skipped->time)));
    if (check.Run == TickRun::None)
        return;

    const RunOrigin origin =
        check.Run == TickRun::Scheduled ? RunOrigin::Scheduled : RunOrigin::Missed;
    if (origin == RunOrigin::Missed)
        TellNotice((check.WaitedForPower ? kWaitedNotice : kMissedNotice)
                       .arg(ostrivane::DateTimeText(check.Moment.date, check.Moment.time)));
    try {
        const QDate date = check.Now.date();
        const QTime time = check.Now.time();
        std::tm start{};
        start.tm_year = date.year() - 1900;
        start.tm_mon = date.month() - 1;
        start.tm_mday = date.day();
        start.tm_hour = time.hour();
        start.tm_min = time.minute();
        ZalohujData(QString::fromStdString(ostrivane::job::ScheduledArchivePath(
                        Edit9->text().toStdString(), Edit8->text().toStdString(),
                        RadioGroup1->ItemIndex() == 0, start)),
                    origin);
    } catch (...) {
        // A scheduled run ends quietly; what the run itself found was already told.
    }
}
