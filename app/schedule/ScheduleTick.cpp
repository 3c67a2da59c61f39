#include "app/schedule/ScheduleTick.h"

#include "app/schedule/TimeOfDayQt.h"

#include <algorithm>
#include <optional>

namespace ostrivane {

namespace {

constexpr qint64 kMsPerDay = 24 * 60 * 60 * 1000;

using DayTimes = std::array<std::optional<QTime>, 7>;

// Wall-clock time as one number: milliseconds since the start of the Julian day count.
qint64 WallMs(QDate date, QTime time) {
    return date.toJulianDay() * kMsPerDay + time.msecsSinceStartOfDay();
}

qint64 WallMs(const QDateTime& instant) {
    const QDateTime local = instant.toLocalTime();
    return WallMs(local.date(), local.time());
}

// The time of each enabled day with a valid time; milliseconds play no part in a moment.
DayTimes EnabledTimes(const WeekSchedule& week) {
    DayTimes times;
    for (std::size_t i = 0; i < week.size(); ++i) {
        if (!week[i].ticked)
            continue;
        if (const auto time = ParseTimeOfDay(week[i].time))
            times[i] = QTime(time->hour, time->minute, time->second);
    }
    return times;
}

// The latest moment m with from < m <= to. Each weekday comes once in the eight days that end on
// the day of `to`, so no earlier day needs looking at.
std::optional<WallTime> LatestMoment(const DayTimes& times, qint64 from, qint64 to) {
    const QDate lastDay = QDate::fromJulianDay(to / kMsPerDay);
    for (int back = 0; back <= 7; ++back) {
        const QDate day = lastDay.addDays(-back);
        const auto& time = times[static_cast<std::size_t>(day.dayOfWeek() - 1)];
        if (!time)
            continue;
        const qint64 moment = WallMs(day, *time);
        if (moment <= from)
            return std::nullopt; // every moment of the days before is earlier still
        if (moment <= to)
            return WallTime{day, *time};
    }
    return std::nullopt;
}

} // namespace

TickDecision DecideTick(const TickInput& in) {
    TickDecision decision;
    const qint64 now = WallMs(in.now);
    if (!in.scheduleOn) {
        // Nothing is scheduled while the switch is off, so nothing is missed either.
        decision.watchedUntil = in.now;
        return decision;
    }
    if (in.runInProgress) {
        // The moments that fall due now wait for the run to end; they are missed then.
        decision.watchedUntil = in.watchedUntil.isValid() ? in.watchedUntil : in.now;
        return decision;
    }

    // A first start knows of no earlier watch: nothing before now is missed. Neither is anything
    // before a clock that was put back far.
    qint64 watched = in.watchedUntil.isValid() ? WallMs(in.watchedUntil) : now;
    const bool afresh = !in.watchedUntil.isValid() || watched - now > kLongestShiftBackMs;
    if (afresh)
        watched = now;
    // Otherwise the mark never goes back: an hour that repeats runs its moment once.
    decision.watchedUntil = afresh || now > watched ? in.now : in.watchedUntil;

    const bool hadTick = in.previousTick.isValid();
    const qint64 previous = hadTick ? WallMs(in.previousTick) : now;
    const bool onTime = hadTick && now >= previous && now - previous <= kLateTickLimitMs;
    decision.clockJumped = hadTick && !onTime;

    const auto latest = LatestMoment(EnabledTimes(in.week), watched, now);
    if (!latest)
        return decision;
    const qint64 moment = WallMs(latest->date, latest->time);
    // On time: the moment falls between the previous tick and this one.
    if (onTime && moment > std::max(watched, previous)) {
        decision.run = TickRun::Scheduled;
        decision.moment = *latest;
        return decision;
    }
    if (in.lastSuccess.isValid() && WallMs(in.lastSuccess) >= moment)
        return decision;
    if (!in.catchUp) {
        decision.skipped = *latest;
        return decision;
    }
    decision.run = TickRun::Missed;
    decision.moment = *latest;
    return decision;
}

} // namespace ostrivane
