// The tick's decision: a moment runs on the first tick at or after it, even a late one; a moment
// that went by unwatched (a jump of the clock, a run under way, the program closed) is caught up
// once, unless a backup succeeded after it or catching up is off. Times are read in Europe/Prague,
// whose clocks go forward on 29 March 2026 (02:00 CET -> 03:00 CEST) and back on 25 October 2026
// (03:00 CEST -> 02:00 CET).
#include "app/schedule/ScheduleTick.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>

namespace {

using ostrivane::DecideTick;
using ostrivane::TickDecision;
using ostrivane::TickInput;
using ostrivane::TickRun;
using ostrivane::WallTime;

// 2026-12-07 is a Monday.
const QDate kMonday(2026, 12, 7);

QDateTime At(QDate date, QTime time) {
    return QDateTime(date, time);
}

// The local time of `hour`:`minute`:`second` UTC on `date` (unambiguous in the hour that repeats).
QDateTime Utc(QDate date, int hour, int minute, int second = 0) {
    return QDateTime(date, QTime(hour, minute, second), QTimeZone::utc()).toLocalTime();
}

class ScheduleTick : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("TZ", "Europe/Prague");
        tzset();
    }

    // Day 1 = Monday .. 7 = Sunday, enabled at `time`.
    void Enable(int day, const QString& time) {
        input.week[static_cast<std::size_t>(day - 1)] = {true, time};
    }

    // A tick at `now` after one at `previous`, watched until `previous`.
    TickDecision Tick(const QDateTime& previous, const QDateTime& now) {
        input.previousTick = previous;
        input.watchedUntil = previous;
        input.now = now;
        return DecideTick(input);
    }

    TickInput input = [] {
        TickInput in;
        in.scheduleOn = true;
        return in;
    }();
};

TEST_F(ScheduleTick, AMomentRunsOnTheFirstTickAtOrAfterItEvenALateOne) {
    Enable(1, QStringLiteral("12:00"));
    EXPECT_EQ(Tick(At(kMonday, QTime(11, 59, 58)), At(kMonday, QTime(11, 59, 59))).run,
              TickRun::None);
    TickDecision on = Tick(At(kMonday, QTime(11, 59, 59)), At(kMonday, QTime(12, 0, 0)));
    EXPECT_EQ(on.run, TickRun::Scheduled);
    EXPECT_EQ(on.moment, (WallTime{kMonday, QTime(12, 0)}));
    EXPECT_EQ(on.watchedUntil, At(kMonday, QTime(12, 0, 0)));
    // Five seconds late is still on time.
    on = Tick(At(kMonday, QTime(11, 59, 57)), At(kMonday, QTime(12, 0, 2)));
    EXPECT_EQ(on.run, TickRun::Scheduled);
    EXPECT_FALSE(on.clockJumped);
    // The next tick, or a tick at the same second again, does not run it twice.
    EXPECT_EQ(Tick(At(kMonday, QTime(12, 0, 0)), At(kMonday, QTime(12, 0, 1))).run, TickRun::None);
    EXPECT_EQ(Tick(At(kMonday, QTime(12, 0, 0)), At(kMonday, QTime(12, 0, 0))).run, TickRun::None);
    // Seconds count; milliseconds of the field do not.
    Enable(1, QStringLiteral("12:00:30.500"));
    EXPECT_EQ(Tick(At(kMonday, QTime(12, 0, 0)), At(kMonday, QTime(12, 0, 1))).run, TickRun::None);
    EXPECT_EQ(Tick(At(kMonday, QTime(12, 0, 29, 800)), At(kMonday, QTime(12, 0, 30, 100))).run,
              TickRun::Scheduled);
}

TEST_F(ScheduleTick, OnlyEnabledDaysWithValidTimesAndTheSwitchOnRun) {
    Enable(2, QStringLiteral("12:00"));
    input.week[0] = {false, QStringLiteral("12:00")};
    EXPECT_EQ(Tick(At(kMonday, QTime(11, 59, 59)), At(kMonday, QTime(12, 0))).run, TickRun::None);
    Enable(1, QStringLiteral("12:00 h"));
    EXPECT_EQ(Tick(At(kMonday, QTime(11, 59, 59)), At(kMonday, QTime(12, 0))).run, TickRun::None);
    Enable(1, QStringLiteral("12:00"));
    input.scheduleOn = false;
    const TickDecision off = Tick(At(kMonday, QTime(11, 59, 59)), At(kMonday, QTime(12, 0)));
    EXPECT_EQ(off.run, TickRun::None);
    // Nothing is missed while the switch is off.
    EXPECT_EQ(off.watchedUntil, At(kMonday, QTime(12, 0)));
}

TEST_F(ScheduleTick, MidnightAndTheWeeksWrap) {
    // A late tick across midnight still runs the moment of the day before.
    Enable(1, QStringLiteral("23:59:59"));
    TickDecision late =
        Tick(At(kMonday, QTime(23, 59, 58)), At(kMonday.addDays(1), QTime(0, 0, 1)));
    EXPECT_EQ(late.run, TickRun::Scheduled);
    EXPECT_EQ(late.moment, (WallTime{kMonday, QTime(23, 59, 59)}));
    // Sunday's last second to Monday's first: Monday's moment at 0:00.
    Enable(1, QStringLiteral("0:00"));
    const QDate sunday = kMonday.addDays(6);
    late = Tick(At(sunday, QTime(23, 59, 59)), At(sunday.addDays(1), QTime(0, 0, 0)));
    EXPECT_EQ(late.run, TickRun::Scheduled);
    EXPECT_EQ(late.moment, (WallTime{sunday.addDays(1), QTime(0, 0)}));
}

TEST_F(ScheduleTick, AJumpOfTheClockCatchesUpTheLatestMissedMomentOnce) {
    Enable(1, QStringLiteral("12:00"));
    Enable(2, QStringLiteral("18:00"));
    // Stopped for 28 s over the moment: missed, not late.
    TickDecision jump = Tick(At(kMonday, QTime(11, 59, 50)), At(kMonday, QTime(12, 0, 18)));
    EXPECT_TRUE(jump.clockJumped);
    EXPECT_EQ(jump.run, TickRun::Missed);
    EXPECT_EQ(jump.moment, (WallTime{kMonday, QTime(12, 0)}));
    // Asleep from Monday morning to Wednesday: Tuesday 18:00 is the latest of the two missed.
    jump = Tick(At(kMonday, QTime(9, 0)), At(kMonday.addDays(2), QTime(7, 30)));
    EXPECT_EQ(jump.run, TickRun::Missed);
    EXPECT_EQ(jump.moment, (WallTime{kMonday.addDays(1), QTime(18, 0)}));
    // Closed for more than a week: yesterday's moment, not the one a week before.
    input.previousTick = {};
    input.watchedUntil = At(kMonday, QTime(9, 0));
    input.now = At(kMonday.addDays(8), QTime(9, 0));
    jump = DecideTick(input);
    EXPECT_EQ(jump.run, TickRun::Missed);
    EXPECT_EQ(jump.moment, (WallTime{kMonday.addDays(7), QTime(12, 0)}));
    // A backup that started successfully at or after it leaves nothing to catch up.
    input.lastSuccess = At(kMonday.addDays(7), QTime(12, 0));
    EXPECT_EQ(DecideTick(input).run, TickRun::None);
    input.lastSuccess = At(kMonday.addDays(7), QTime(11, 59));
    EXPECT_EQ(DecideTick(input).run, TickRun::Missed);
    EXPECT_FALSE(DecideTick(input).skipped);
    // Catching up switched off: the moment is dropped and named, the watch moves on; one a backup
    // succeeded after is not named.
    input.catchUp = false;
    const TickDecision dropped = DecideTick(input);
    EXPECT_EQ(dropped.run, TickRun::None);
    EXPECT_EQ(dropped.skipped, (WallTime{kMonday.addDays(7), QTime(12, 0)}));
    EXPECT_EQ(dropped.watchedUntil, input.now);
    input.lastSuccess = At(kMonday.addDays(7), QTime(12, 30));
    EXPECT_FALSE(DecideTick(input).skipped);
    // Late ticks still run their moment then.
    EXPECT_EQ(Tick(At(kMonday, QTime(11, 59, 57)), At(kMonday, QTime(12, 0, 2))).run,
              TickRun::Scheduled);
}

TEST_F(ScheduleTick, AFirstStartCatchesNothingUp) {
    Enable(1, QStringLiteral("12:00"));
    input.now = At(kMonday, QTime(13, 0));
    const TickDecision first = DecideTick(input);
    EXPECT_EQ(first.run, TickRun::None);
    EXPECT_EQ(first.watchedUntil, input.now);
}

TEST_F(ScheduleTick, AMomentDuringARestoreIsCaughtUpWhenTheRestoreIsOver) {
    Enable(1, QStringLiteral("12:00"));
    input.runInProgress = true;
    TickDecision during = Tick(At(kMonday, QTime(11, 59, 59)), At(kMonday, QTime(12, 0)));
    EXPECT_EQ(during.run, TickRun::None);
    EXPECT_EQ(during.watchedUntil, At(kMonday, QTime(11, 59, 59))) << "the watch waits for the run";
    // The restore (started at 11:50, after a backup that succeeded then) ends at 12:20.
    input.runInProgress = false;
    input.lastSuccess = At(kMonday, QTime(11, 50));
    input.previousTick = At(kMonday, QTime(12, 0));
    input.now = At(kMonday, QTime(12, 20));
    const TickDecision after = DecideTick(input);
    EXPECT_EQ(after.run, TickRun::Missed);
    EXPECT_EQ(after.moment, (WallTime{kMonday, QTime(12, 0)}));
}

TEST_F(ScheduleTick, DaylightSavingDaysAreReadOnTheWallClock) {
    // Sunday 2026-03-29: 02:30 never shows on the clock. It is missed and caught up at once.
    const QDate spring(2026, 3, 29);
    Enable(7, QStringLiteral("2:30"));
    const TickDecision skipped = Tick(Utc(spring, 0, 59, 59), Utc(spring, 1, 0, 0));
    ASSERT_EQ(skipped.watchedUntil.time(), QTime(3, 0)) << "TZ is not Europe/Prague";
    EXPECT_EQ(skipped.run, TickRun::Missed);
    EXPECT_EQ(skipped.moment, (WallTime{spring, QTime(2, 30)}));

    // Sunday 2026-10-25: 02:30 shows twice and runs once.
    const QDate autumn(2026, 10, 25);
    const TickDecision first = Tick(Utc(autumn, 0, 29, 59), Utc(autumn, 0, 30, 0)); // CEST
    EXPECT_EQ(first.run, TickRun::Scheduled);
    EXPECT_EQ(first.moment, (WallTime{autumn, QTime(2, 30)}));
    // Back from 02:59:59 CEST to 02:00:00 CET, then ticking on through the repeated hour.
    input.previousTick = Utc(autumn, 0, 59, 59);
    input.watchedUntil = input.previousTick;
    input.now = Utc(autumn, 1, 0, 0);
    TickDecision back = DecideTick(input);
    EXPECT_TRUE(back.clockJumped);
    EXPECT_EQ(back.run, TickRun::None);
    EXPECT_EQ(back.watchedUntil, input.watchedUntil) << "the watch does not go back";
    input.previousTick = Utc(autumn, 1, 29, 59);
    input.now = Utc(autumn, 1, 30, 0); // 02:30 CET
    back = DecideTick(input);
    EXPECT_EQ(back.run, TickRun::None);
    // A clock put back further than any daylight-saving change starts the watch afresh.
    input.previousTick = At(kMonday, QTime(15, 0));
    input.watchedUntil = input.previousTick;
    input.now = At(kMonday, QTime(11, 59, 59));
    Enable(1, QStringLiteral("12:00"));
    EXPECT_EQ(DecideTick(input).watchedUntil, input.now);
    input.previousTick = input.now;
    input.watchedUntil = input.now;
    input.now = At(kMonday, QTime(12, 0));
    EXPECT_EQ(DecideTick(input).run, TickRun::Scheduled);
}

} // namespace
