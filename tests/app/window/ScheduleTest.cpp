// The weekly schedule: the master switch, day boxes, time fields and their check, the copy
// button, and the scheduler timer.
#include "UiTestSupport.h"

#include "cabinet/component/CabinetLibrary.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

const QString kInvalid = QStringLiteral("Zadaná hodnota není platným formátem času !");

class Schedule : public ::testing::Test, public uitest::WindowFixture {
protected:
    // Master switch on and every day ticked, window shown and active, "Automat" in front.
    void OpenScheduleTab() {
        TfoHlavni& w = NewWindow();
        w.CheckBox1->setChecked(true);
        for (QCheckBox* box : w.CheckBoxX)
            box->setChecked(true);
        w.PageControl1->setCurrentIndex(1);
        ShowActive();
    }

    QLineEdit* Day(int day) { return window().EditTime[static_cast<std::size_t>(day - 1)]; }

    uitest::MessageRecorder messages;
};

TEST_F(Schedule, TimerTicksEverySecondPreciselyWhileTheSwitchIsOn) {
    TfoHlavni& w = NewWindow();
    EXPECT_EQ(w.Timer1->interval(), 1000);
    EXPECT_EQ(w.Timer1->timerType(), Qt::PreciseTimer);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_FALSE(w.Panel1->isEnabled());
    w.CheckBox1->click();
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(w.Panel1->isEnabled());
}

TEST_F(Schedule, ShowingTheWindowAppliesTheLoadedSwitches) {
    uitest::WriteIniFile(SettingsPath(), {"[Nastavení]", "Automatická záloha=1", "Úterý=1"});
    TfoHlavni& w = NewWindow();
    w.show();
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(w.Panel1->isEnabled());
    EXPECT_TRUE(w.EditTime[1]->isEnabled());
    for (int i : {0, 2, 3, 4, 5, 6})
        EXPECT_FALSE(w.EditTime[i]->isEnabled()) << i;
}

TEST_F(Schedule, SwitchingOffDisablesThePanelStopsTheTimerAndKeepsTheValues) {
    OpenScheduleTab();
    TfoHlavni& w = window();
    Day(3)->setText(QStringLiteral("6:30"));
    w.CheckBox1->click();
    EXPECT_FALSE(w.Panel1->isEnabled());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_TRUE(w.CheckBoxX[2]->isChecked());
    EXPECT_EQ(Day(3)->text(), QStringLiteral("6:30"));
    ASSERT_TRUE(w.close());
    const QString section = QStringLiteral("Nastavení");
    EXPECT_EQ(uitest::RawValue(SettingsPath(), section, QStringLiteral("Automatická záloha")),
              QStringLiteral("0"));
    EXPECT_EQ(uitest::RawValue(SettingsPath(), section, QStringLiteral("Středa")),
              QStringLiteral("1"));
    EXPECT_EQ(uitest::RawValue(SettingsPath(), section, QStringLiteral("Středa čas")),
              QStringLiteral("6:30"));
}

TEST_F(Schedule, UntickingADayDisablesItsField) {
    OpenScheduleTab();
    window().CheckBoxX[5]->click();
    EXPECT_FALSE(Day(6)->isEnabled());
    EXPECT_TRUE(Day(5)->isEnabled());
    window().CheckBoxX[5]->click();
    EXPECT_TRUE(Day(6)->isEnabled());
}

TEST_F(Schedule, LeavingAnEmptyTimeFieldReportsAndKeepsTheFocus) {
    OpenScheduleTab();
    QWidget* focusDuringMessage = nullptr;
    messages.onShow = [&](const ostrivane::ui::MessageRequest&) {
        focusDuringMessage = QApplication::focusWidget();
    };
    Day(1)->setFocus();
    Day(1)->clear();
    QTest::keyClick(Day(1), Qt::Key_Tab);
    EXPECT_EQ(messages.Texts(), QStringList{kInvalid});
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("quenza Ostrivane"));
    EXPECT_EQ(focusDuringMessage, window().CheckBoxX[1]); // the focus had moved on
    EXPECT_EQ(QApplication::focusWidget(), Day(1));
    EXPECT_EQ(Day(1)->text(), QString());
}

TEST_F(Schedule, TwoInvalidFieldsDoNotSendTheFocusBackAndForth) {
    OpenScheduleTab();
    Day(2)->setText(QStringLiteral("x"));
    Day(1)->setText(QStringLiteral("25:00"));
    Day(1)->setFocus();
    // Enter leaves Monday for Tuesday's box; a click would reach Tuesday's invalid field.
    Day(2)->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(messages.Texts(), QStringList{kInvalid});
    EXPECT_EQ(QApplication::focusWidget(), Day(1));
}

TEST_F(Schedule, AcceptedTimesLeaveNoMessageAndKeepTheirText) {
    OpenScheduleTab();
    for (const QString& text : {QStringLiteral("7:5"), QStringLiteral("  12:00  "),
                                QStringLiteral("23:59:59"), QStringLiteral("8")}) {
        Day(4)->setFocus();
        Day(4)->setText(text);
        QTest::keyClick(Day(4), Qt::Key_Tab);
        EXPECT_EQ(Day(4)->text(), text);
        EXPECT_EQ(QApplication::focusWidget(), window().CheckBoxX[4]) << text.toStdString();
    }
    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join('|').toStdString();
    for (const QString& text :
         {QStringLiteral("24:00"), QStringLiteral("12:60"), QStringLiteral("12:00 h")}) {
        Day(4)->setFocus();
        Day(4)->setText(text);
        QTest::keyClick(Day(4), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), Day(4)) << text.toStdString();
    }
    EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(Schedule, ATimeTheScheduleCannotReadIsMarkedAndToldAtStart) {
    uitest::WriteIniFile(SettingsPath(),
                         {"[Nastavení]", "Automatická záloha=1", "Pondělí=1", "Pondělí čas=25:00",
                          "Úterý=1", "Úterý čas=13:40:55", "Středa čas=nikdy"});
    TfoHlavni& w = NewWindow();
    QStringList notices;
    w.SetNotice([&](const QString& text) { notices.append(text); });
    const auto marked = [&w](int day) {
        const QLineEdit* edit = w.EditTime[static_cast<std::size_t>(day - 1)];
        return edit->property("unreadableTime").toBool() && !edit->toolTip().isEmpty();
    };
    // Only a ticked day's time is read by the schedule.
    EXPECT_TRUE(marked(1));
    EXPECT_FALSE(marked(2));
    EXPECT_FALSE(marked(3));
    w.show();
    QTest::qWait(50);
    ASSERT_EQ(notices.size(), 1) << notices.join('|').toStdString();
    EXPECT_TRUE(notices[0].contains(QStringLiteral("Pondělí „25:00“")));
    EXPECT_FALSE(notices[0].contains(QStringLiteral("Středa")));
    // Put right, or the day unticked, the mark goes; ticked with a bad time, it comes.
    w.EditTime[0]->setText(QStringLiteral("23:00"));
    EXPECT_FALSE(marked(1));
    w.CheckBoxX[2]->setChecked(true);
    EXPECT_TRUE(marked(3));
    w.CheckBoxX[2]->setChecked(false);
    EXPECT_FALSE(marked(3));
}

TEST_F(Schedule, TypingMovesTheCopyButtonToTheDaysRow) {
    OpenScheduleTab();
    TfoHlavni& w = window();
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("Ostatní dny jako pondělí"));
    EXPECT_EQ(w.SpeedButton1->y(), Day(1)->y());
    Day(5)->setFocus();
    Day(5)->selectAll();
    QTest::keyClicks(Day(5), QStringLiteral("9:15"));
    EXPECT_EQ(w.SpeedButton1->y(), Day(5)->y());
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("Ostatní dny jako pátek"));
    Day(7)->setText(QStringLiteral("1:00"));
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("Ostatní dny jako neděle"));
}

TEST_F(Schedule, CopySetsAllDaysToTheSourceTimeAndTicksThem) {
    OpenScheduleTab();
    TfoHlavni& w = window();
    for (QCheckBox* box : w.CheckBoxX)
        box->setChecked(false);
    w.CheckBoxX[4]->setChecked(true);
    Day(5)->setText(QStringLiteral("  9:15 "));
    ASSERT_EQ(w.SpeedButton1->y(), Day(5)->y());
    w.SpeedButton1->click();
    for (int day = 1; day <= 7; ++day) {
        EXPECT_EQ(Day(day)->text(), QStringLiteral("9:15")) << day;
        EXPECT_TRUE(w.CheckBoxX[static_cast<std::size_t>(day - 1)]->isChecked()) << day;
        EXPECT_TRUE(Day(day)->isEnabled()) << day;
    }
    // The change handler was detached: the button stays on Friday's row.
    EXPECT_EQ(w.SpeedButton1->y(), Day(5)->y());
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("Ostatní dny jako pátek"));
    EXPECT_TRUE(messages.shown.empty());
    // And attached again afterwards.
    Day(2)->setText(QStringLiteral("10:00"));
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("Ostatní dny jako úterý"));
}

TEST_F(Schedule, CopyOfAnInvalidTimeChangesNothing) {
    OpenScheduleTab();
    TfoHlavni& w = window();
    w.CheckBoxX[6]->setChecked(false);
    Day(3)->setText(QStringLiteral("12:61"));
    Day(6)->setText(QStringLiteral("6:00"));
    Day(3)->setText(QStringLiteral("12:61")); // unchanged text: the button stays on Saturday
    Day(3)->setText(QStringLiteral("12:62"));
    ASSERT_EQ(w.SpeedButton1->y(), Day(3)->y());
    w.SpeedButton1->click();
    EXPECT_EQ(messages.Texts(), QStringList{kInvalid});
    EXPECT_EQ(Day(1)->text(), QStringLiteral("12:00"));
    EXPECT_EQ(Day(6)->text(), QStringLiteral("6:00"));
    EXPECT_FALSE(w.CheckBoxX[6]->isChecked());
}

TEST_F(Schedule, DayBoxFindsItsFieldByName) {
    TfoHlavni& w = NewWindow();
    w.CheckBoxX[3]->setChecked(true);
    EXPECT_TRUE(w.EditTime[3]->isEnabledTo(w.Panel1));
    // The source dialog also has an "Edit1"; Monday's box must not reach it.
    w.CheckBoxX[0]->setChecked(true);
    w.CheckBoxX[0]->setChecked(false);
    EXPECT_FALSE(w.EditTime[0]->isEnabledTo(w.Panel1));
    EXPECT_TRUE(dialog().Edit1->isEnabled());
}

// A scheduled run disables the window's controls, which takes the focus out of the field the
// user was in: that is no leave, so neither the time check nor the folder normalisation runs,
// and nothing waits for an answer in the middle of the run.
TEST_F(Schedule, AScheduledRunLeavesTheFocusedFieldAlone) {
    if (!CabinetLoaded()) {
        ASSERT_TRUE(LoadCabinetLibrary(OSTRIVANE_BUILD_DIR "/libcabinet.so"));
    }
    const QString source = MakeFolder(QStringLiteral("Data"));
    const QString destination = MakeFolder(QStringLiteral("Zalohy"));
    QFile file(source + "/a.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("alpha");
    file.close();

    OpenScheduleTab();
    TfoHlavni& w = window();
    QStringList notices;
    w.SetFailureNotice([&](const QString& text) { notices.append(text); });
    w.Sources.push_back({source, QStringLiteral("*.*")});
    w.Edit8->setText(QStringLiteral("data.cab"));
    Day(1)->setText(QStringLiteral("12:00"));
    // The run starts on the first tick at or after the moment: a tick a second before, then one
    // at 12:00 (2025-03-03 is a Monday, and every day is ticked at 12:00).
    QDateTime now;
    w.SetClock([&now] { return now; });
    const auto tickUpTo = [&w, &now](const QDateTime& moment) {
        for (const QDateTime& at : {moment.addSecs(-1), moment}) {
            now = at;
            w.Timer1Timer();
        }
        // The run goes on a thread of its own.
        EXPECT_TRUE(uitest::WaitForBackupEnd(w));
    };

    w.PageControl1->setCurrentIndex(0);
    w.Edit9->setText(destination + "/");
    w.Edit9->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), w.Edit9);
    tickUpTo(QDateTime(QDate(2025, 3, 3), QTime(12, 0, 0)));
    EXPECT_TRUE(QFileInfo::exists(destination + "/data.cab"));
    EXPECT_EQ(w.Edit9->text().toStdString(), (destination + "/").toStdString());

    w.PageControl1->setCurrentIndex(1);
    Day(3)->setText(QStringLiteral("25:99"));
    Day(3)->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), Day(3));
    tickUpTo(QDateTime(QDate(2025, 3, 4), QTime(12, 0, 0)));
    EXPECT_TRUE(QFileInfo::exists(destination + "/data_1.cab")) << "the second run did not happen";
    EXPECT_EQ(Day(3)->text().toStdString(), "25:99");

    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join('|').toStdString();
    EXPECT_TRUE(notices.isEmpty()) << notices.join('|').toStdString();
    EXPECT_FALSE(w.BackupRunning());
    EXPECT_EQ(QApplication::focusWidget(), Day(3)) << "the focus is back where it was";
    // The user leaving the field afterwards is still a leave.
    QTest::keyClick(Day(3), Qt::Key_Tab);
    EXPECT_EQ(messages.Texts(), QStringList{kInvalid});
}

} // namespace
