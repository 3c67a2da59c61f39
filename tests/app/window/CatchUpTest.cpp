// The schedule's watch in the window: a moment missed while the program was closed is caught up
// once at start, named and told as the schedule names and tells it, or told as skipped; the job's
// last verified backup in the status bar and the tray tip, read from the history (only this job's
// verified runs count, the last in the file's order); the warning about an old backup; a moment
// inside a running backup is that backup's.
#include "UiTestSupport.h"

#include "app/job/InputCheck.h"
#include "app/run/RunHistory.h"
#include "app/schedule/DateTimeText.h"
#include "app/schedule/ScheduleMemory.h"
#include "app/widgets/FittingLabel.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

namespace {

// 2026-12-08 is a Tuesday.
const QDate kTuesday(2026, 12, 8);

std::chrono::system_clock::time_point TimePoint(const QDateTime& time) {
    return std::chrono::system_clock::time_point(
        std::chrono::milliseconds(time.toMSecsSinceEpoch()));
}

class CatchUp : public ::testing::Test, public uitest::WindowFixture {
protected:
    QString StateFolder() const { return Folder() + "/.local/state/ostrivane"; }

    // The schedule on, Monday and Tuesday at 18:00, archives named from the date and time into
    // `destination`; `extra` lines are added to the settings section.
    void WriteSettings(const QStringList& extra = {}) {
        destination = MakeFolder(QStringLiteral("Zalohy"));
        // The archive name is the default "Záloha.zip", made "Záloha.cab" as the button does.
        job = ostrivane::job::JobOfFields(destination.toStdString(), "Záloha.zip");
        uitest::WriteIniFile(SettingsPath(),
                             QStringList{"[Nastavení]", "Automatická záloha=1", "Pondělí=1",
                                         "Pondělí čas=18:00", "Úterý=1", "Úterý čas=18:00",
                                         "Adresář zálohy=" + destination,
                                         "RadioGroup název souboru=1"} +
                                 extra);
    }

    // The program last watched the schedule at `watched`; the history holds `runs`.
    void WriteState(const QDateTime& watched, std::vector<ostrivane::run::RunRecord> runs = {}) {
        ostrivane::ScheduleMemory memory(StateFolder().toStdString());
        memory.SetWatchedUntil(watched);
        ASSERT_TRUE(memory.Save());
        QFile::remove(StateFolder() + "/history.jsonl");
        const ostrivane::run::RunHistory history(StateFolder().toStdString());
        for (const auto& run : runs)
            ASSERT_TRUE(history.Append(run));
    }

    // A run of the job (verified when it was ok), or of `otherJob`.
    ostrivane::run::RunRecord Run(const QDateTime& start, ostrivane::run::RunResult result,
                                  const std::string& otherJob = {}) const {
        ostrivane::run::RunRecord run;
        run.Job = otherJob.empty() ? job : otherJob;
        run.Start = TimePoint(start);
        run.End = TimePoint(start.addSecs(60));
        run.Result = result;
        run.Verified = result == ostrivane::run::RunResult::Ok;
        return run;
    }

    // Starts the program at `now` and lets its first check run.
    TfoHlavni& StartAt(const QDateTime& now) {
        TfoHlavni& w = NewWindow();
        w.SetClock([this] { return clock; });
        clock = now;
        w.SetNotice([this](const QString& text) { trayNotices.append(text); });
        w.SetFailureNotice([this](const QString& text) { failureNotices.append(text); });
        w.show();
        QTest::qWait(50);
        // A run the first check started goes on a thread of its own.
        EXPECT_TRUE(uitest::WaitForBackupEnd(w));
        return w;
    }

    // The panel's whole line (it shows what fits of it).
    QString StatusLine() { return window().LastBackupPanel->FullText(); }

    QString destination;
    std::string job;
    QDateTime clock;
    QStringList trayNotices;
    QStringList failureNotices;
    uitest::MessageRecorder messages;
};

TEST_F(CatchUp, TheLatestMomentMissedWhileClosedRunsOnceAtStart) {
    const QDateTime now(kTuesday, QTime(19, 5, 30));
    // Closed on Monday morning; the last good backup on Sunday.
    WriteSettings();
    WriteState(QDateTime(kTuesday.addDays(-1), QTime(9, 0)),
               {Run(QDateTime(kTuesday.addDays(-2), QTime(18, 0)), ostrivane::run::RunResult::Ok)});
    TfoHlavni& w = StartAt(now);

    EXPECT_EQ(trayNotices, QStringList{"Zmeškaná záloha z 8. 12. 2026 18:00 se provádí nyní."});
    // One run, named from the time it started, with no sources to back up: it failed and was told
    // as a scheduled run is, without a box.
    ASSERT_EQ(failureNotices.size(), 1) << failureNotices.join('\n').toStdString();
    EXPECT_TRUE(
        failureNotices[0].contains("Záloha do archívu " + destination + "/202612081905.cab"))
        << failureNotices[0].toStdString();
    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join('\n').toStdString();
    EXPECT_FALSE(w.BackupRunning());
    // The watch was written: a second start does not catch the moment up again.
    EXPECT_EQ(ostrivane::ScheduleMemory(StateFolder().toStdString()).WatchedUntil(), now);
    trayNotices.clear();
    failureNotices.clear();
    StartAt(now.addSecs(600));
    EXPECT_TRUE(trayNotices.isEmpty()) << trayNotices.join('\n').toStdString();
    EXPECT_TRUE(failureNotices.isEmpty());
}

TEST_F(CatchUp, NothingIsCaughtUpWhenSwitchedOffOrAfterALaterSuccess) {
    const QDateTime now(kTuesday, QTime(19, 5, 30));
    const QDateTime closed(kTuesday.addDays(-1), QTime(9, 0));
    WriteSettings({"Dodatečná záloha=0"});
    WriteState(closed);
    TfoHlavni& off = StartAt(now);
    EXPECT_FALSE(off.CheckBox4->isChecked());
    // Not caught up, but not passed over in silence either: told once.
    EXPECT_EQ(trayNotices, QStringList{"Záloha z 8. 12. 2026 18:00 byla vynechána."});
    EXPECT_TRUE(failureNotices.isEmpty());
    EXPECT_TRUE(ostrivane::run::RunHistory(StateFolder().toStdString()).Read().empty());
    trayNotices.clear();
    StartAt(now.addSecs(60));
    EXPECT_TRUE(trayNotices.isEmpty()) << trayNotices.join('\n').toStdString();

    // A backup by hand at 18:30 came after the moment.
    WriteSettings();
    WriteState(closed, {Run(QDateTime(kTuesday, QTime(18, 30)), ostrivane::run::RunResult::Ok)});
    StartAt(now);
    EXPECT_TRUE(trayNotices.isEmpty()) << trayNotices.join('\n').toStdString();
    EXPECT_TRUE(failureNotices.isEmpty());
    EXPECT_EQ(StatusLine(), "Poslední ověřená záloha: 8. 12. 2026 18:30");
}

TEST_F(CatchUp, TheLastVerifiedBackupIsInTheStatusBarAndTheTrayTip) {
    using ostrivane::run::RunResult;
    uitest::WriteIniFile(SettingsPath(), {"[Nastavení]"});
    TfoHlavni& none = NewWindow();
    EXPECT_EQ(StatusLine(), "Poslední ověřená záloha: žádná");
    job = ostrivane::job::JobOfFields(none.Edit9->text().toStdString(),
                                      none.Edit8->text().toStdString());
    const auto* version = none.findChild<QLabel*>(QStringLiteral("StatusBar1Text"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "quenza Ostrivane 1.0.0.2");

    WriteState({}, {Run(QDateTime(kTuesday, QTime(7, 5)), RunResult::Ok),
                    Run(QDateTime(kTuesday, QTime(12, 0)), RunResult::Cancelled),
                    Run(QDateTime(kTuesday, QTime(18, 0)), RunResult::Failed)});
    TfoHlavni& failed = NewWindow();
    EXPECT_EQ(StatusLine(), "Poslední záloha selhala 8. 12. 2026 18:00; ověřená: 8. 12. 2026 7:05");
    failed.show();
    // The line is never cut: where it does not fit beside the version it wraps, and the status
    // bar grows to hold its lines, below the gauges.
    {
        const auto* panel = failed.findChild<QLabel*>(QStringLiteral("StatusBar1LastBackup"));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->text(), StatusLine());
        EXPECT_GE(panel->height(), panel->heightForWidth(panel->width()));
        EXPECT_LE(failed.Gauge1->geometry().bottom(), failed.StatusBar1->y());
        EXPECT_EQ(failed.StatusBar1->geometry().bottom(), failed.height() - 1);
    }
    failed.HideToTray();
    ASSERT_NE(failed.TrayIcon(), nullptr);
    EXPECT_EQ(failed.TrayIcon()->toolTip(),
              "quenza Ostrivane\nPoslední záloha selhala 8. 12. 2026 18:00; ověřená: 8. 12. 2026 "
              "7:05");
    // The panel stands left of the version, which it never pushes aside.
    const auto* panel = failed.findChild<QLabel*>(QStringLiteral("StatusBar1LastBackup"));
    const auto* version2 = failed.findChild<QLabel*>(QStringLiteral("StatusBar1Text"));
    ASSERT_NE(panel, nullptr);
    EXPECT_LE(panel->geometry().right(), version2->x());
    EXPECT_LE(version2->geometry().right(), failed.StatusBar1->width());
    EXPECT_EQ(version2->text(), "quenza Ostrivane 1.0.0.2");

    // A run that failed with no verified backup before it: the run goes into the history, and
    // the panel, read again after every run, names it.
    WriteState({}, {Run(QDateTime(kTuesday, QTime(18, 0)), RunResult::Failed)});
    failed.ZalohujData(Folder() + "/missing/data.cab");
    ASSERT_TRUE(uitest::WaitForBackupEnd(failed));
    const auto runs = ostrivane::run::RunHistory(StateFolder().toStdString()).Read();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs.back().Origin, ostrivane::run::RunOrigin::Manual);
    EXPECT_EQ(runs.back().Result, RunResult::Failed);
    EXPECT_EQ(runs.back().Archive, (Folder() + "/missing/data.cab").toStdString());
    const QString started = ostrivane::DateTimeText(
        QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(runs.back().Start)));
    EXPECT_EQ(StatusLine(), "Poslední záloha selhala " + started + "; ověřená: žádná");
}

TEST_F(CatchUp, OnlyTheJobsVerifiedRunsCountTheLastInTheFile) {
    using ostrivane::run::RunResult;
    WriteSettings();
    // A backup of another archive and one without the read-back came after the verified one.
    ostrivane::run::RunRecord unverified = Run(QDateTime(kTuesday, QTime(10, 0)), RunResult::Ok);
    unverified.Verified = false;
    WriteState({}, {Run(QDateTime(kTuesday, QTime(7, 5)), RunResult::Ok),
                    Run(QDateTime(kTuesday, QTime(9, 0)), RunResult::Ok, "/elsewhere/jine.cab"),
                    unverified});
    NewWindow();
    EXPECT_EQ(StatusLine(), "Poslední ověřená záloha: 8. 12. 2026 7:05");

    // A run recorded a day ahead (the clock was wrong once) does not hide the failure after it.
    WriteState({}, {Run(QDateTime(kTuesday.addDays(1), QTime(20, 0)), RunResult::Ok),
                    Run(QDateTime(kTuesday, QTime(8, 0)), RunResult::Failed)});
    NewWindow();
    EXPECT_EQ(StatusLine(), "Poslední záloha selhala 8. 12. 2026 8:00; ověřená: 9. 12. 2026 20:00");

    // A line of the days before jobs were recorded belongs to the job of its archive, and its
    // "ok" meant verified.
    QDateTime oldStart(kTuesday, QTime(9, 30));
    oldStart.setOffsetFromUtc(oldStart.offsetFromUtc());
    const std::string start = oldStart.toString(Qt::ISODate).toStdString();
    QFile history(StateFolder() + "/history.jsonl");
    ASSERT_TRUE(history.open(QIODevice::Append));
    history.write(("{\"start\":\"" + start + "\",\"end\":\"" + start +
                   "\",\"origin\":\"manual\",\"result\":\"ok\",\"archive\":\"" + job +
                   "\",\"parts\":1,\"files\":3,\"bytes\":10,\"archive_bytes\":9,"
                   "\"message\":\"\"}\n")
                      .c_str());
    history.close();
    NewWindow();
    EXPECT_EQ(StatusLine(), "Poslední ověřená záloha: 8. 12. 2026 9:30");
}

TEST_F(CatchUp, ABackupOfAnotherArchiveDoesNotStandForTheJobsMissedOne) {
    using ostrivane::run::RunResult;
    WriteSettings();
    ostrivane::run::RunRecord unverified = Run(QDateTime(kTuesday, QTime(18, 40)), RunResult::Ok);
    unverified.Verified = false;
    WriteState(QDateTime(kTuesday.addDays(-1), QTime(9, 0)),
               {Run(QDateTime(kTuesday, QTime(18, 30)), RunResult::Ok, "/elsewhere/jine.cab"),
                unverified});
    StartAt(QDateTime(kTuesday, QTime(19, 5, 30)));
    EXPECT_EQ(trayNotices, QStringList{"Zmeškaná záloha z 8. 12. 2026 18:00 se provádí nyní."});
    const auto runs = ostrivane::run::RunHistory(StateFolder().toStdString()).Read();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs.back().Origin, ostrivane::run::RunOrigin::Missed);
    EXPECT_EQ(runs.back().Job, job);
}

TEST_F(CatchUp, AMomentInsideARunningBackupIsThatBackups) {
    WriteSettings();
    WriteState(QDateTime(kTuesday, QTime(17, 59, 50)));
    TfoHlavni& w = StartAt(QDateTime(kTuesday, QTime(17, 59, 55)));
    ASSERT_TRUE(trayNotices.isEmpty()) << trayNotices.join('\n').toStdString();
    // A backup by hand starts before the moment and ends after it.
    w.ZalohujData(destination + "/data.cab");
    clock = QDateTime(kTuesday, QTime(18, 0, 40));
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    QTest::qWait(50);
    w.Timer1Timer();
    EXPECT_FALSE(w.BackupRunning());
    EXPECT_TRUE(trayNotices.isEmpty()) << trayNotices.join('\n').toStdString();
    const auto runs = ostrivane::run::RunHistory(StateFolder().toStdString()).Read();
    ASSERT_EQ(runs.size(), 1u) << "a second backup followed the moment";
    EXPECT_EQ(runs[0].Origin, ostrivane::run::RunOrigin::Manual);
}

TEST_F(CatchUp, AnOldVerifiedBackupIsToldAtStartAndThenOnceADay) {
    const QDateTime verified(kTuesday.addDays(-10), QTime(18, 0));
    WriteSettings();
    WriteState(QDateTime(kTuesday, QTime(9, 0)), {Run(verified, ostrivane::run::RunResult::Ok)});
    TfoHlavni& w = StartAt(QDateTime(kTuesday, QTime(9, 0, 30)));
    // No moment falls in the days below.
    w.CheckBoxX[0]->setChecked(false);
    w.CheckBoxX[1]->setChecked(false);
    const QString warning = "Poslední ověřená záloha je starší než 7 dní.\n28. 11. 2026 18:00";
    EXPECT_EQ(trayNotices, QStringList{warning});
    clock = clock.addSecs(3600);
    w.Timer1Timer();
    EXPECT_EQ(trayNotices.size(), 1);
    clock = clock.addDays(1);
    w.Timer1Timer();
    EXPECT_EQ(trayNotices, QStringList({warning, warning}));
}

} // namespace
