// The test of a chosen backup, every part, as `ostrivane-cab --test` tests an archive.
#pragma once

#include "app/restore/BackupCatalog.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ostrivane::restore {

struct CheckSummary {
    int Good = 0;
    int Bad = 0;
    // The bad files ("/" between folders) and the parts that cannot be read at all (their
    // paths), each with the reader's reason.
    struct Problem {
        std::string Name;
        bool WholePart = false;
        std::string Reason;
        // A problem of the backup's set of cabinets; Reason is the Czech text then.
        bool InSet = false;
    };
    std::vector<Problem> Problems;
    bool Cancelled = false;
};

// Tests every cabinet of `backup`; every problem of its set counts as a bad part. `cancel`, set by
// another thread, stops it; `progress` hears the bytes of the files read so far.
CheckSummary CheckBackup(const Backup& backup, const std::atomic<bool>* cancel,
                         const std::function<void(std::uint64_t bytes)>& progress);

} // namespace ostrivane::restore
