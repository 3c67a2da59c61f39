// The weekly schedule on the "Automat" tab: the master switch, the seven days with their times,
// the copy button, and the scheduler tick that starts runs by itself, on time or for the latest
// moment it missed.
#include "app/job/InputCheck.h"
#include "app/schedule/DateTimeText.h"
#include "app/schedule/TimeOfDayQt.h"
#include "app/widgets/LeaveField.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/RadioGroup.h"
#include "app/widgets/TextTrim.h"
#include "app/window/TfoHlavni.h"
#include "archive/naming/ArchiveNames.h"

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

// The memory of how far the schedule was watched is written at least this often while it is on.
constexpr qint64 kMemorySaveSeconds = 60;

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
    ScheduleSwitched();
}

void TfoHlavni::CheckBoxX1Click(QObject* Sender) {
    auto* box = qobject_cast<QCheckBox*>(Sender);
    const QString name = Sender->objectName();
    if (box == nullptr || name.size() < 10)
        return;
    // The tenth character of "CheckBoxX<n>" is the day number n.
    if (auto* edit = FindControl<QWidget>(QStringLiteral("Edit") + name.at(9)))
        edit->setEnabled(box->isChecked());
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

ostrivane::WeekSchedule TfoHlavni::ScheduleWeek() const {
    ostrivane::WeekSchedule week;
    for (std::size_t i = 0; i < week.size(); ++i)
        week[i] = {CheckBoxX[i]->isChecked(), EditTime[i]->text()};
    return week;
}

QString TfoHlavni::ScheduledArchivePath(const QDateTime& now) const {
    const QDate date = now.date();
    const QTime time = now.time();
    const QString name =
        RadioGroup1->ItemIndex() == 0
            ? Edit8->text()
            : QString::fromStdString(ostrivane::names::DateTimeName(
                  date.year(), date.month(), date.day(), time.hour(), time.minute()));
    return QString::fromStdString(
        ostrivane::job::ArchivePath(Edit9->text().toStdString(), name.toStdString()));
}

void TfoHlavni::CheckSchedule() {
    using ostrivane::TickRun;
    using ostrivane::run::RunOrigin;
    const QDateTime now = clock_();
    const bool on = CheckBox1->isChecked();
    const bool firstCheck = !scheduleStarted_;
    scheduleStarted_ = true;
    scheduleWatched_ = on;
    if (!on) {
        previousTick_ = {};
        if (firstCheck && scheduleMemory_.OnSince().isValid()) {
            scheduleMemory_.SetOnSince({});
            SaveScheduleMemory(now);
        }
        return;
    }

    ostrivane::TickInput input;
    input.previousTick = previousTick_;
    input.now = now;
    input.week = ScheduleWeek();
    input.scheduleOn = on;
    input.watchedUntil = scheduleMemory_.WatchedUntil();
    input.lastSuccess = lastVerified_;
    input.catchUp = CheckBox4->isChecked();
    // A restore holds the schedule back as a backup does: what falls due meanwhile is caught up
    // once it ends.
    const bool busy = backupRunning_ || RestoreRunning();
    input.runInProgress = busy;
    const ostrivane::TickDecision decision = ostrivane::DecideTick(input);
    if (!busy)
        previousTick_ = now;
    scheduleMemory_.SetWatchedUntil(decision.watchedUntil);
    if (!scheduleMemory_.OnSince().isValid())
        scheduleMemory_.SetOnSince(now);
    const qint64 sinceSave = lastMemorySave_.isValid() ? lastMemorySave_.secsTo(now) : -1;
    if (firstCheck || decision.clockJumped || decision.run != TickRun::None || sinceSave < 0 ||
        sinceSave >= kMemorySaveSeconds)
        SaveScheduleMemory(now);
    WarnOfOldBackup(now);
    if (decision.run == TickRun::None)
        return;

    const RunOrigin origin =
        decision.run == TickRun::Scheduled ? RunOrigin::Scheduled : RunOrigin::Missed;
    if (origin == RunOrigin::Missed)
        ShowTrayNotice(
            kMissedNotice.arg(ostrivane::DateTimeText(decision.moment.date, decision.moment.time)));
    try {
        ZalohujData(ScheduledArchivePath(now), origin);
    } catch (...) {
        // A scheduled run ends quietly; what the run itself found was already told.
    }
}

void TfoHlavni::ScheduleSwitched() {
    const bool on = CheckBox1->isChecked();
    if (on == scheduleWatched_)
        return;
    scheduleWatched_ = on;
    // Before the first check after the start the switch only shows the loaded settings; that
    // check takes it as it finds it.
    if (!scheduleStarted_)
        return;
    const QDateTime now = clock_();
    if (on) {
        // What went by while the switch was off was never scheduled, so it is not missed.
        scheduleMemory_.SetWatchedUntil(now);
        scheduleMemory_.SetOnSince(now);
        previousTick_ = now;
    } else {
        scheduleMemory_.SetOnSince({});
        previousTick_ = {};
    }
    SaveScheduleMemory(now);
}

void TfoHlavni::SaveScheduleMemory(const QDateTime& now) {
    // Nothing to tell when it fails: the next minute tries again, and the worst a lost memory
    // does is to miss a moment that went by unwatched.
    scheduleMemory_.Save();
    lastMemorySave_ = now;
}
