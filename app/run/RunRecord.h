// One backup run as it is told to the user and kept in the history of runs: which job it was a
// run of, where it came from, how it ended, what it wrote.
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
    // The job the run belongs to: the archive path as the job forms it (the window's and
    // --settings' from the destination folder and the archive name, ostrivane-cab's from its
    // ARCHIVE), absolute and plain (JobOfArchive). A scheduled archive named after the date and
    // time belongs to the job whose schedule made it.
    std::string Job;
    std::chrono::system_clock::time_point Start{};
    std::chrono::system_clock::time_point End{};
    RunOrigin Origin = RunOrigin::Manual;
    RunResult Result = RunResult::Failed;
    // The backup is complete, in place and was read back whole; never for a run without the
    // read-back (--no-verify).
    bool Verified = false;
    std::string Archive;            // the archive's path as written, ".cab" included
    int Parts = 0;                  // cabinets of the backup (1 unless it went on in parts)
    std::int64_t Files = 0;         // files packed and verified
    std::uint64_t Bytes = 0;        // source bytes packed
    std::uint64_t ArchiveBytes = 0; // bytes of all its cabinets
    std::string Message;            // the report shown to the user; empty when the run was ok
};

} // namespace ostrivane::run
