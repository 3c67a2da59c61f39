// The watch over the weekly schedule, apart from the window. Each check (every tick of the
// window's timer, the start, a wake-up, the end of a run or a restore) decides with DecideTick
// whether a run is due now, for its moment or for the latest one missed; it keeps how far the
// schedule was watched and since when it is on (ScheduleMemory), written at the first check, on
// every run or jump of the clock, at least once a minute while the schedule is on, and on
// request (before the system sleeps, at close); and it says when the warning about an old backup
// is due, at most once a day: the job's last verified backup is older than 7 days, or, while the
// schedule is on, there is none and the schedule has been on for 7 days.
//
// A restore holds the moments that fall due while it runs back, to be caught up when it ends; a
// backup of the job is itself the backup of every moment that falls due while it runs. While the
// computer runs on battery (and the user has not allowed backups then), a run that falls due is
// held back the same way and runs as a missed one once the power returns; the memory keeps it
// missed if the program closes meanwhile.
//
// Whoever drives it shows and asks: it hands in the schedule as the user set it and the start of
// the latest successful backup, starts the run a check asks for and tells the user.
#pragma once

#include "app/schedule/ScheduleMemory.h"
#include "app/schedule/ScheduleTick.h"

#include <QDateTime>

#include <functional>
#include <optional>
#include <string>

namespace ostrivane {

// The schedule as the user set it.
struct ScheduleSettings {
    bool On = false; // the master switch
    WeekSchedule Week;
    bool CatchUp = true;       // missed moments are caught up
    bool RunOnBattery = false; // scheduled backups start on battery too
};

// What holds a check's runs back.
struct ScheduleHold {
    bool Busy = false;      // a backup or a restore runs, or the power source is not known yet
    bool OnBattery = false; // the computer runs on battery
};

// What one check found.
struct ScheduleCheck {
    QDateTime Now;               // when the check was made; an archive named after it takes it
    TickRun Run = TickRun::None; // a run to start now: on time, or for a missed moment
    WallTime Moment;             // the moment that run is for
    bool OldBackupDue = false;   // the warning about an old backup is to be shown now
    // A moment that went by unwatched and is not caught up (catching up is off), told once.
    std::optional<WallTime> Skipped;
    // A run is due but waits for the power to return.
    bool WaitingForPower = false;
    // The run (or the moment told as skipped) waited for the power to return.
    bool WaitedForPower = false;
};

class ScheduleWatch {
public:
    using Clock = std::function<QDateTime()>;

    // Reads what the schedule remembers from `stateFolder` ("" remembers nothing).
    explicit ScheduleWatch(std::string stateFolder);

    // The clock the checks read; the system's wall clock unless set.
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    QDateTime Now() const { return clock_(); }

    // The start of the job's latest verified backup (invalid: none).
    void SetLastSuccess(const QDateTime& time) { lastSuccess_ = time; }
    const QDateTime& LastSuccess() const { return lastSuccess_; }

    // One check of `settings`. While held (a backup or a restore runs, or the computer runs on
    // battery and `settings` do not allow it) nothing is started: a moment that falls due
    // meanwhile is caught up as missed by the first check that is not held, unless it was a
    // backup's (BackupEnded).
    ScheduleCheck Check(const ScheduleSettings& settings, ScheduleHold hold);
    ScheduleCheck Check(const ScheduleSettings& settings, bool busy) {
        return Check(settings, ScheduleHold{busy, false});
    }
    // A backup of the job has ended: the moments that fell due while it ran were its own, and no
    // second backup follows for them.
    void BackupEnded();
    // The master switch was turned to `on`: what went by while it was off was never scheduled.
    void Switched(bool on);
    // The warning the check `check` asked for was shown; the next comes a day later at the
    // earliest. (One that could not be shown is asked for again by the next check.)
    void OldBackupTold(const ScheduleCheck& check) { lastOldBackupWarning_ = check.Now; }
    // Writes how far the schedule was watched, while it is on.
    void Save();

private:
    bool OldBackupDue(const QDateTime& now, bool on) const;
    void Write(const QDateTime& now);

    Clock clock_ = [] { return QDateTime::currentDateTime(); };
    ScheduleMemory memory_;
    QDateTime previousTick_; // the last check that was not held back
    QDateTime lastCheck_;    // the last check with the switch on, held back or not
    QDateTime lastWrite_;    // when the memory was last written
    bool on_ = false;        // the switch as the watch last took it
    bool started_ = false;   // the first check after the start was made
    QDateTime lastSuccess_;  // start of the latest backup that succeeded
    QDateTime lastOldBackupWarning_;
    bool waitingForPower_ = false; // a run was held back because the computer ran on battery
};

} // namespace ostrivane
