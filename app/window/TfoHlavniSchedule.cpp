// The weekly schedule on the "Automat" tab: the master switch, the seven days with their times,
// the copy button, and the scheduler tick that starts runs by itself.
#include "app/schedule/TimeOfDay.h"
#include "app/widgets/LeaveField.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/RadioGroup.h"
#include "app/window/TfoHlavni.h"
#include "settings/TextTrim.h"

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

bool IsValidTime(const QString& text) {
    return ostrivane::IsValidTimeOfDay(TrimBlanks(text));
}

QString TwoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

void TfoHlavni::CheckBox1Click() {
    Panel1->setEnabled(CheckBox1->isChecked());
    if (!CheckBox1->isChecked())
        Timer1->stop();
    else if (!Timer1->isActive())
        Timer1->start();
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
    const QDateTime now = clock_();
    const QTime time = now.time();
    const QDate date = now.date();
    const std::size_t day = static_cast<std::size_t>(date.dayOfWeek() - 1);
    try {
        const auto scheduled = ostrivane::ParseTimeOfDay(TrimBlanks(EditTime[day]->text()));
        if (!scheduled)
            return;
        if (!CheckBoxX[day]->isChecked() || scheduled->hour != time.hour() ||
            scheduled->minute != time.minute() || scheduled->second != time.second())
            return;
        const QString folder = TrimBlanks(Edit9->text()) + QLatin1Char('/');
        const QString P = RadioGroup1->ItemIndex() == 0
                              ? folder + TrimBlanks(Edit8->text())
                              : folder + QString::number(date.year()) + TwoDigits(date.month()) +
                                    TwoDigits(date.day()) + TwoDigits(time.hour()) +
                                    TwoDigits(time.minute());
        ZalohujData(P, ostrivane::run::RunOrigin::Scheduled);
    } catch (...) {
        // A scheduled tick ends quietly; what the run itself found was already told.
    }
}
