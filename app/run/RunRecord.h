// One backup run as it is told to the user and kept in the history of runs: where it came from,
// how it ended, what it wrote.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace ostrivane::run {

// Who started the run: the backup button, the scheduler at its moment, the scheduler catching up
// a moment it missed, or the command-line front end.
enum class RunOrigin { Manual, Scheduled, Missed, Command };

// How the run ended. Failed covers every run that reported a problem, whether or not it wrote an
// archive; Cancelled is the user's own stop.
enum class RunResult { Ok, Failed, Cancelled };

struct RunRecord {
    std::chrono::system_clock::time_point Start{};
    std::chrono::system_clock::time_point End{};
    RunOrigin Origin = RunOrigin::Manual;
    RunResult Result = RunResult::Failed;
    std::string Archive;            // the archive's path as written, ".cab" included
    int Parts = 0;                  // cabinets of the backup (1 unless it went on in parts)
    std::int64_t Files = 0;         // files packed and verified
    std::uint64_t Bytes = 0;        // source bytes packed
    std::uint64_t ArchiveBytes = 0; // bytes of all its cabinets
    std::string Message;            // the report shown to the user; empty when the run was ok
};

} // namespace ostrivane::run
