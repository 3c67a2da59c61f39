// The scheduler tick's decision, apart from the window: given the clock, the weekly schedule and
// what is known about earlier ticks and backups, whether this tick starts a run, and for which
// moment.
//
// A moment is an enabled day's time on that day, read as wall-clock time: the date and time the
// user sees, whatever the offset from UTC. A moment that falls on a tick (after the previous tick
// and not after this one) runs as scheduled, even when the tick came a little late. A moment that
// went by unwatched (the program closed, the system asleep, the process stopped, the clock put
// forward, a run under way) is missed; when no backup started successfully at or after it, the
// latest missed moment runs once, however many were missed, when catching up is on, and is
// reported as skipped (once, as the watch moves past it) when catching up is off.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QtGlobal>

#include <array>
#include <optional>

namespace ostrivane {

// One day's row of the weekly schedule as its fields hold it.
struct ScheduleDay {
    bool ticked = false;
    QString time; // the time field's text, read by the rule of ParseTimeOfDay
};

// Monday .. Sunday.
using WeekSchedule = std::array<ScheduleDay, 7>;

// A date and time as the wall clock shows it (it may not exist as an instant, as 02:30 on the
// day the clocks go forward).
struct WallTime {
    QDate date;
    QTime time;

    friend bool operator==(const WallTime&, const WallTime&) = default;
};

// Ticks further apart than this, or going backwards, mean that the clock jumped: the process was
// stopped or asleep, or the clock was put forward or back.
inline constexpr qint64 kLateTickLimitMs = 5000;
// No daylight-saving change puts the clock back further: a clock put back by more was wrong
// before, and the schedule is watched afresh from the new time.
inline constexpr qint64 kLongestShiftBackMs = 2 * 60 * 60 * 1000;

struct TickInput {
    QDateTime previousTick; // invalid: no tick yet since the program started
    QDateTime now;
    WeekSchedule week;
    bool scheduleOn = false;    // the master switch
    QDateTime watchedUntil;     // how far the schedule was watched; invalid: never (first start)
    QDateTime lastSuccess;      // start of the latest backup that succeeded; invalid: none
    bool catchUp = true;        // whether missed moments are caught up
    bool runInProgress = false; // a restore, or a run whose moments wait for its end
};

enum class TickRun { None, Scheduled, Missed };

struct TickDecision {
    TickRun run = TickRun::None;
    WallTime moment; // the moment the run is for
    // A missed moment that is not caught up because catching up is off: the user is told.
    std::optional<WallTime> skipped;
    QDateTime watchedUntil; // how far the schedule is watched after this tick
    bool clockJumped = false;
};

TickDecision DecideTick(const TickInput& input);

} // namespace ostrivane
