#include "app/schedule/ScheduleWatch.h"

#include <utility>

namespace ostrivane {

namespace {

// The memory of how far the schedule was watched is written at least this often while it is on.
constexpr qint64 kMemoryWriteSeconds = 60;
constexpr qint64 kOldBackupSeconds = 7 * 24 * 60 * 60;
// The warning about an old backup comes at most this often.
constexpr qint64 kWarningSeconds = 24 * 60 * 60;

} // namespace

ScheduleWatch::ScheduleWatch(std::string stateFolder) : memory_(std::move(stateFolder)) {}

ScheduleCheck ScheduleWatch::Check(const ScheduleSettings& settings, ScheduleHold hold) {
    ScheduleCheck check;
    check.Now = clock_();
    const QDateTime& now = check.Now;
    const bool firstCheck = !started_;
    started_ = true;
    on_ = settings.On;
    if (!settings.On) {
        previousTick_ = {};
        lastCheck_ = {};
        waitingForPower_ = false;
        if (firstCheck && memory_.OnSince().isValid()) {
            memory_.SetOnSince({});
            Write(now);
        }
        check.OldBackupDue = OldBackupDue(now, false);
        return check;
    }

    TickInput input;
    input.previousTick = previousTick_;
    input.now = now;
    input.week = settings.Week;
    input.scheduleOn = true;
    input.watchedUntil = memory_.WatchedUntil();
    input.lastSuccess = lastSuccess_;
    input.catchUp = settings.CatchUp;
    const bool onBattery = hold.OnBattery && !settings.RunOnBattery;
    input.runInProgress = hold.Busy || onBattery;
    if (onBattery && !hold.Busy) {
        // What would start now waits for the power, held back as during a run. Whether it falls
        // on time is measured from the check before, held or not.
        TickInput unheld = input;
        unheld.runInProgress = false;
        if (lastCheck_.isValid())
            unheld.previousTick = lastCheck_;
        if (DecideTick(unheld).run != TickRun::None) {
            waitingForPower_ = true;
            check.WaitingForPower = true;
        }
    }
    TickDecision decision = DecideTick(input);
    lastCheck_ = now;
    if (!input.runInProgress) {
        previousTick_ = now;
        // Released because the power came back (not because the user allowed the battery): the
        // run that waited, even one a few seconds late, is a missed one.
        if (waitingForPower_ && !hold.OnBattery &&
            (decision.run != TickRun::None || decision.skipped)) {
            check.WaitedForPower = true;
            if (decision.run == TickRun::Scheduled)
                decision.run = TickRun::Missed;
        }
        waitingForPower_ = false;
    }
    memory_.SetWatchedUntil(decision.watchedUntil);
    if (!memory_.OnSince().isValid())
        memory_.SetOnSince(now);
    const qint64 sinceWrite = lastWrite_.isValid() ? lastWrite_.secsTo(now) : -1;
    if (firstCheck || decision.clockJumped || decision.run != TickRun::None || sinceWrite < 0 ||
        sinceWrite >= kMemoryWriteSeconds)
        Write(now);
    check.Run = decision.run;
    check.Moment = decision.moment;
    check.Skipped = decision.skipped;
    check.OldBackupDue = OldBackupDue(now, true);
    return check;
}

void ScheduleWatch::BackupEnded() {
    waitingForPower_ = false;
    if (!on_ || !started_)
        return;
    const QDateTime now = clock_();
    // Compared on the wall clock, as the moments are: in the hour that repeats, the mark does not
    // go back to where its moments would run again.
    const auto wall = [](const QDateTime& time) {
        const QDateTime local = time.toLocalTime();
        return std::pair(local.date(), local.time());
    };
    const QDateTime watched = memory_.WatchedUntil();
    if (!watched.isValid() || wall(watched) < wall(now))
        memory_.SetWatchedUntil(now);
    previousTick_ = now;
    Write(now);
}

void ScheduleWatch::Switched(bool on) {
    if (on == on_)
        return;
    on_ = on;
    waitingForPower_ = false;
    // Before the first check after the start the switch only shows the loaded settings; that
    // check takes it as it finds it.
    if (!started_)
        return;
    const QDateTime now = clock_();
    if (on) {
        memory_.SetWatchedUntil(now);
        memory_.SetOnSince(now);
        previousTick_ = now;
    } else {
        memory_.SetOnSince({});
        previousTick_ = {};
        lastCheck_ = {};
    }
    Write(now);
}

void ScheduleWatch::Save() {
    if (on_)
        Write(clock_());
}

bool ScheduleWatch::OldBackupDue(const QDateTime& now, bool on) const {
    const bool old = lastSuccess_.isValid()
                         ? lastSuccess_.secsTo(now) > kOldBackupSeconds
                         : on && memory_.OnSince().isValid() &&
                               memory_.OnSince().secsTo(now) >= kOldBackupSeconds;
    if (!old)
        return false;
    if (!lastOldBackupWarning_.isValid())
        return true;
    const qint64 since = lastOldBackupWarning_.secsTo(now);
    return since < 0 || since >= kWarningSeconds;
}

void ScheduleWatch::Write(const QDateTime& now) {
    // Nothing to tell when it fails: the next minute tries again, and the worst a lost memory
    // does is to miss a moment that went by unwatched.
    memory_.Save();
    lastWrite_ = now;
}

} // namespace ostrivane
