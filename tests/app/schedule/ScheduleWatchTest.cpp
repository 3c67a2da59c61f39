// The schedule's watch over several checks, with a clock of the test's own and its memory in a
// scratch state folder: a moment runs once and a busy check holds it back until the run is over;
// what went by while the program was closed is caught up once by the next start; the switch
// turned off and on misses nothing; the memory is written when it matters and at least once a
// minute; the warning about an old backup comes once a day; a moment during a backup is that
// backup's; a moment not caught up is told; on battery a moment waits for the power and runs
// once as missed when it returns, unless the user allows backups on battery.
#include "app/schedule/ScheduleWatch.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

namespace {

using ostrivane::ScheduleCheck;
using ostrivane::ScheduleHold;
using ostrivane::ScheduleMemory;
using ostrivane::ScheduleSettings;
using ostrivane::ScheduleWatch;
using ostrivane::TickRun;
using ostrivane::WallTime;

// 2026-12-07 is a Monday.
const QDate kWeekStart(2026, 12, 7);

class Watch : public ::testing::Test {
protected:
    // Every day at 18:00, the switch on.
    Watch() {
        settings.On = true;
        for (auto& day : settings.Week)
            day = {true, QStringLiteral("18:00")};
    }

    // A watch as a program started at `start` makes it.
    std::unique_ptr<ScheduleWatch> Start(const QDateTime& start) {
        now = start;
        auto watch = std::make_unique<ScheduleWatch>(state.Path());
        watch->SetClock([this] { return now; });
        return watch;
    }

    // A check at `at`.
    ScheduleCheck CheckAt(ScheduleWatch& watch, const QDateTime& at, bool busy = false) {
        now = at;
        return watch.Check(settings, busy);
    }
    // A check at `at` on battery power.
    ScheduleCheck OnBatteryAt(ScheduleWatch& watch, const QDateTime& at) {
        now = at;
        return watch.Check(settings, ScheduleHold{false, true});
    }

    // Checks every second after `now` up to `until`, as the window's timer makes them.
    void TickUntil(ScheduleWatch& watch, const QDateTime& until) {
        while (now < until)
            CheckAt(watch, now.addSecs(1));
    }

    QDateTime Remembered() const { return ScheduleMemory(state.Path()).WatchedUntil(); }

    testsupport::Scratch state;
    ScheduleSettings settings;
    QDateTime now;
};

TEST_F(Watch, AMomentRunsOnceAndABusyCheckHoldsItBackUntilTheRunIsOver) {
    const auto watch = Start(QDateTime(kWeekStart, QTime(17, 59, 58)));
    EXPECT_EQ(CheckAt(*watch, now).Run, TickRun::None);
    // The first check wrote the memory.
    EXPECT_EQ(Remembered(), now);
    const ScheduleCheck due = CheckAt(*watch, QDateTime(kWeekStart, QTime(18, 0, 1)));
    EXPECT_EQ(due.Run, TickRun::Scheduled);
    EXPECT_EQ(due.Moment, (WallTime{kWeekStart, QTime(18, 0)}));
    EXPECT_EQ(due.Now, now);
    EXPECT_EQ(Remembered(), now);
    EXPECT_EQ(CheckAt(*watch, now.addSecs(1)).Run, TickRun::None);

    // Tuesday's moment falls while a run is still going: held back, then caught up once.
    const QDate tuesday = kWeekStart.addDays(1);
    EXPECT_EQ(CheckAt(*watch, QDateTime(tuesday, QTime(17, 59, 59))).Run, TickRun::None);
    EXPECT_EQ(CheckAt(*watch, QDateTime(tuesday, QTime(18, 0, 0)), true).Run, TickRun::None);
    EXPECT_EQ(CheckAt(*watch, QDateTime(tuesday, QTime(18, 0, 1)), true).Run, TickRun::None);
    const ScheduleCheck caughtUp = CheckAt(*watch, QDateTime(tuesday, QTime(18, 25)));
    EXPECT_EQ(caughtUp.Run, TickRun::Missed);
    EXPECT_EQ(caughtUp.Moment, (WallTime{tuesday, QTime(18, 0)}));
    EXPECT_EQ(CheckAt(*watch, now.addSecs(1)).Run, TickRun::None);
}

TEST_F(Watch, WhatWentByWhileClosedIsCaughtUpOnceByTheNextStart) {
    auto watch = Start(QDateTime(kWeekStart, QTime(9, 0)));
    CheckAt(*watch, now);
    // Ticks within a minute leave the memory as it was; a minute later it is written again.
    TickUntil(*watch, QDateTime(kWeekStart, QTime(9, 0, 59)));
    EXPECT_EQ(Remembered(), QDateTime(kWeekStart, QTime(9, 0)));
    TickUntil(*watch, QDateTime(kWeekStart, QTime(9, 1)));
    EXPECT_EQ(Remembered(), QDateTime(kWeekStart, QTime(9, 1)));
    // Closed after a check at 9:01:20, the close writing the memory; started again on Tuesday
    // evening.
    TickUntil(*watch, QDateTime(kWeekStart, QTime(9, 1, 20)));
    EXPECT_EQ(Remembered(), QDateTime(kWeekStart, QTime(9, 1)));
    watch->Save();
    EXPECT_EQ(Remembered(), now);

    watch = Start(QDateTime(kWeekStart.addDays(1), QTime(19, 5)));
    const ScheduleCheck first = CheckAt(*watch, now);
    EXPECT_EQ(first.Run, TickRun::Missed);
    EXPECT_EQ(first.Moment, (WallTime{kWeekStart.addDays(1), QTime(18, 0)}));
    // A third start does not catch it up again.
    watch = Start(now.addSecs(60));
    EXPECT_EQ(CheckAt(*watch, now).Run, TickRun::None);

    // Closed on Wednesday morning, started in the evening: Wednesday's moment is not caught up
    // after a backup that succeeded since, nor with catching up off.
    const auto closedOnWednesdayMorning = [this] {
        ScheduleMemory memory(state.Path());
        memory.SetWatchedUntil(QDateTime(kWeekStart.addDays(2), QTime(9, 0)));
        ASSERT_TRUE(memory.Save());
    };
    const QDateTime evening(kWeekStart.addDays(2), QTime(19, 0));
    closedOnWednesdayMorning();
    watch = Start(evening);
    watch->SetLastSuccess(QDateTime(kWeekStart.addDays(2), QTime(18, 30)));
    EXPECT_EQ(CheckAt(*watch, now).Run, TickRun::None);
    closedOnWednesdayMorning();
    settings.CatchUp = false;
    watch = Start(evening);
    EXPECT_EQ(CheckAt(*watch, now).Run, TickRun::None);
    closedOnWednesdayMorning();
    settings.CatchUp = true;
    watch = Start(evening);
    EXPECT_EQ(CheckAt(*watch, now).Run, TickRun::Missed);
}

TEST_F(Watch, TheSwitchTurnedOffAndOnMissesNothingAndTheMemoryKeepsOnlyWhatIsWatched) {
    const auto watch = Start(QDateTime(kWeekStart, QTime(17, 0)));
    CheckAt(*watch, now);
    now = QDateTime(kWeekStart, QTime(17, 30));
    watch->Switched(false);
    settings.On = false;
    EXPECT_EQ(CheckAt(*watch, QDateTime(kWeekStart, QTime(18, 0, 0))).Run, TickRun::None);
    // Watched until the switch went off; while off, nothing is written.
    now = QDateTime(kWeekStart, QTime(18, 10));
    watch->Save();
    EXPECT_EQ(Remembered(), QDateTime(kWeekStart, QTime(17, 0)));
    EXPECT_FALSE(ScheduleMemory(state.Path()).OnSince().isValid());
    // On again after the moment: it was never scheduled, so it is not missed.
    now = QDateTime(kWeekStart, QTime(18, 20));
    watch->Switched(true);
    settings.On = true;
    EXPECT_EQ(Remembered(), now);
    EXPECT_EQ(ScheduleMemory(state.Path()).OnSince(), now);
    EXPECT_EQ(CheckAt(*watch, now.addSecs(1)).Run, TickRun::None);
}

TEST_F(Watch, AnOldBackupIsWarnedOfOnceADayOnceTheWarningWasShown) {
    const auto watch = Start(QDateTime(kWeekStart, QTime(9, 0)));
    watch->SetLastSuccess(QDateTime(kWeekStart.addDays(-7), QTime(9, 0, 30)));
    EXPECT_FALSE(CheckAt(*watch, now).OldBackupDue);
    ScheduleCheck check = CheckAt(*watch, QDateTime(kWeekStart, QTime(9, 1)));
    EXPECT_TRUE(check.OldBackupDue);
    // Not shown (no tray, say): asked for again at the next check.
    check = CheckAt(*watch, now.addSecs(1));
    ASSERT_TRUE(check.OldBackupDue);
    watch->OldBackupTold(check);
    EXPECT_FALSE(CheckAt(*watch, now.addSecs(1)).OldBackupDue);
    EXPECT_FALSE(CheckAt(*watch, check.Now.addSecs(24 * 3600 - 1)).OldBackupDue);
    EXPECT_TRUE(CheckAt(*watch, check.Now.addSecs(24 * 3600)).OldBackupDue);
    // A backup that succeeded ends it.
    watch->SetLastSuccess(now);
    EXPECT_FALSE(CheckAt(*watch, now.addSecs(1)).OldBackupDue);
    // With the switch off, an old backup of the job is still warned of; a job that never had
    // one is not the schedule's to wait for.
    settings.On = false;
    EXPECT_TRUE(CheckAt(*watch, now.addDays(8)).OldBackupDue);
    watch->SetLastSuccess({});
    EXPECT_FALSE(CheckAt(*watch, now.addDays(30)).OldBackupDue);
}

TEST_F(Watch, AMomentDuringABackupIsItsOwnAndOneMissedWithCatchingUpOffIsToldOnce) {
    const auto watch = Start(QDateTime(kWeekStart, QTime(17, 59)));
    CheckAt(*watch, now);
    // A backup by hand from 17:59:30 to 18:03: the moment is that backup's.
    EXPECT_EQ(CheckAt(*watch, QDateTime(kWeekStart, QTime(18, 0, 1)), true).Run, TickRun::None);
    now = QDateTime(kWeekStart, QTime(18, 3));
    watch->BackupEnded();
    EXPECT_EQ(Remembered(), now);
    ScheduleCheck after = CheckAt(*watch, now.addSecs(1));
    EXPECT_EQ(after.Run, TickRun::None);
    EXPECT_FALSE(after.Skipped);

    // Tuesday's moment goes by while the program is stopped for 15 s, with catching up off: not
    // run, but told once.
    settings.CatchUp = false;
    CheckAt(*watch, QDateTime(kWeekStart.addDays(1), QTime(17, 59, 50)));
    const ScheduleCheck stalled =
        CheckAt(*watch, QDateTime(kWeekStart.addDays(1), QTime(18, 0, 5)));
    EXPECT_EQ(stalled.Run, TickRun::None);
    ASSERT_TRUE(stalled.Skipped);
    EXPECT_EQ(*stalled.Skipped, (WallTime{kWeekStart.addDays(1), QTime(18, 0)}));
    EXPECT_FALSE(CheckAt(*watch, now.addSecs(1)).Skipped);
}

TEST_F(Watch, OnBatteryAMomentWaitsForThePowerAndRunsOnceAsMissed) {
    const QDate monday = kWeekStart;
    const auto watch = Start(QDateTime(monday, QTime(17, 59, 58)));
    EXPECT_EQ(OnBatteryAt(*watch, now).Run, TickRun::None);
    const ScheduleCheck held = OnBatteryAt(*watch, QDateTime(monday, QTime(18, 0, 1)));
    EXPECT_EQ(held.Run, TickRun::None);
    EXPECT_TRUE(held.WaitingForPower);
    // Still on battery ten minutes later; the memory never goes past the moment meanwhile, so a
    // close keeps it missed for the next start.
    while (now < QDateTime(monday, QTime(18, 10)))
        EXPECT_EQ(OnBatteryAt(*watch, now.addSecs(1)).Run, TickRun::None);
    EXPECT_LT(Remembered(), QDateTime(monday, QTime(18, 0)));
    // The power returns: the moment runs once, as a missed one that waited.
    const ScheduleCheck back = CheckAt(*watch, now.addSecs(1));
    EXPECT_EQ(back.Run, TickRun::Missed);
    EXPECT_EQ(back.Moment, (WallTime{monday, QTime(18, 0)}));
    EXPECT_TRUE(back.WaitedForPower);
    EXPECT_EQ(CheckAt(*watch, now.addSecs(1)).Run, TickRun::None);

    // On battery just for the moment, back two seconds after it: still a run that waited, so a
    // missed one.
    const QDate tuesday = monday.addDays(1);
    CheckAt(*watch, QDateTime(tuesday, QTime(17, 59, 59)));
    OnBatteryAt(*watch, QDateTime(tuesday, QTime(18, 0)));
    const ScheduleCheck soon = CheckAt(*watch, QDateTime(tuesday, QTime(18, 0, 2)));
    EXPECT_EQ(soon.Run, TickRun::Missed);
    EXPECT_TRUE(soon.WaitedForPower);

    // Allowed on battery: the moment runs on time.
    settings.RunOnBattery = true;
    const QDate wednesday = monday.addDays(2);
    OnBatteryAt(*watch, QDateTime(wednesday, QTime(17, 59, 59)));
    const ScheduleCheck allowed = OnBatteryAt(*watch, QDateTime(wednesday, QTime(18, 0)));
    EXPECT_EQ(allowed.Run, TickRun::Scheduled);
    EXPECT_FALSE(allowed.WaitedForPower);
}

TEST_F(Watch, AWaitEndedByTheUserOrWithCatchingUpOffOrByABackupIsToldAsSuch) {
    const QDate monday = kWeekStart;
    const auto watch = Start(QDateTime(monday, QTime(17, 59, 59)));
    OnBatteryAt(*watch, now);
    OnBatteryAt(*watch, QDateTime(monday, QTime(18, 0, 1)));
    // Allowed while the moment waits: it runs at once, missed, but it did not wait for the power.
    settings.RunOnBattery = true;
    const ScheduleCheck allowed = OnBatteryAt(*watch, QDateTime(monday, QTime(18, 7)));
    EXPECT_EQ(allowed.Run, TickRun::Missed);
    EXPECT_FALSE(allowed.WaitedForPower);
    settings.RunOnBattery = false;

    // With catching up off, the moment that waited is told as skipped, and why.
    settings.CatchUp = false;
    const QDate tuesday = monday.addDays(1);
    OnBatteryAt(*watch, QDateTime(tuesday, QTime(17, 59, 59)));
    OnBatteryAt(*watch, QDateTime(tuesday, QTime(18, 0, 1)));
    const ScheduleCheck skipped = CheckAt(*watch, QDateTime(tuesday, QTime(18, 30)));
    EXPECT_EQ(skipped.Run, TickRun::None);
    ASSERT_TRUE(skipped.Skipped);
    EXPECT_EQ(*skipped.Skipped, (WallTime{tuesday, QTime(18, 0)}));
    EXPECT_TRUE(skipped.WaitedForPower);
    settings.CatchUp = true;

    // A backup by hand on battery is the backup of the moment that waited.
    const QDate wednesday = monday.addDays(2);
    OnBatteryAt(*watch, QDateTime(wednesday, QTime(17, 59, 59)));
    OnBatteryAt(*watch, QDateTime(wednesday, QTime(18, 0, 1)));
    EXPECT_EQ(CheckAt(*watch, QDateTime(wednesday, QTime(18, 2)), true).Run, TickRun::None);
    now = QDateTime(wednesday, QTime(18, 4));
    watch->BackupEnded();
    const ScheduleCheck afterBackup = CheckAt(*watch, QDateTime(wednesday, QTime(18, 20)));
    EXPECT_EQ(afterBackup.Run, TickRun::None);
    EXPECT_FALSE(afterBackup.WaitedForPower);
}

} // namespace
