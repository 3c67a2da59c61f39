// What the schedule remembers between runs of the program, kept in the file "schedule" of the
// state folder: how far the program watched the schedule (so that the moments that went by while
// it was closed or asleep are known as missed) and since when the schedule is on (for the warning
// about an old backup). One "key=time" line each, the time in ISO 8601 with its offset.
#pragma once

#include "app/run/StateFolder.h"

#include <QDateTime>
#include <QString>

#include <string>

namespace ostrivane {

class ScheduleMemory {
public:
    // Reads what `folder` holds; nothing is known when it holds nothing readable.
    explicit ScheduleMemory(std::string folder = run::StateFolder());

    QDateTime WatchedUntil() const { return watchedUntil_; }
    void SetWatchedUntil(const QDateTime& time) { watchedUntil_ = time; }
    QDateTime OnSince() const { return onSince_; }
    void SetOnSince(const QDateTime& time) { onSince_ = time; }

    // Replaces the file in one step, making the folder (mode 0700) when it is missing; false when
    // it cannot be written.
    bool Save() const;

private:
    std::string folder_;
    QDateTime watchedUntil_;
    QDateTime onSince_;
};

} // namespace ostrivane
