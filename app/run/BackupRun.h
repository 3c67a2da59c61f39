// One backup run, from the lock of its destination to the new archive in place, without a user
// interface: the window and the command-line front end run every backup through it, on an
// archive component of their own (with their progress and event handlers).
//
// The order of a run:
//   1. the destination folder is locked (another copy at work there, or no lock: nothing
//      changes);
//   2. a placement an earlier run left unfinished (killed, or a call that failed) is finished
//      or taken back from its record (BackupPlacement.h); when it cannot be, nothing else is
//      done;
//   3. a symbolic link, a folder or a special file where the archive goes: nothing changes;
//   4. what killed runs left behind is removed (StaleTemporaries.h);
//   5. the archive is built, flushed, synced and read back, every cabinet under a temporary name
//      in the destination folder;
//   6. only a complete backup (written, read back whole, not cancelled, no failed write) takes
//      its place, in one placement with the termination signals held: the series of earlier
//      archives is shifted (or the archive replaced: a second run in the same minute under a
//      name made of the date and time, or the front end replacing its archive), the cabinets get
//      their names, and under a name made of the date and time such archives beyond the number
//      to keep go; the cabinets of backups that go are deleted only once every rename is made.
// A run that fails, is cancelled or killed before its placement leaves the series exactly as it
// was; its temporary cabinets are removed (a killed one's by the next run). A placement cut short
// leaves every backup whole under its old or its new name once the next run has finished it.
// Files that could not be read do not keep a complete backup from its place; the run then fails,
// naming them.
#pragma once

#include "app/run/BackupReport.h"
#include "app/run/RunRecord.h"
#include "platform/cabformat/CabinetFormat.h"

#include <cstdint>
#include <string>
#include <vector>

class TMakeCab;

namespace ostrivane::run {

// What one run backs up, and where.
struct BackupRequest {
    std::string Archive;               // P as the caller forms it: destination + "/" + name
    std::vector<std::string> FileSpec; // one FOLDER/MASK line per source
    bool Recurse = false;              // subfolders too
    std::string TempDir;               // the library's temporary files; "" = the system's
    std::int32_t Depth = 1;            // earlier archives to keep
    std::uint32_t PartSize = cabformat::kLargestCabinet; // the largest cabinet of the set
    bool Verify = true; // read the archive back before it counts as complete
    RunOrigin Origin = RunOrigin::Manual;
    // The new archive replaces an existing one of its name instead of moving it along the series.
    bool ReplaceExisting = false;
    // Where the run is recorded in the history of runs (the state folder); "" records it nowhere.
    std::string HistoryFolder;
    // The job the run belongs to (RunRecord::Job); "" makes it the job of the archive.
    std::string Job;
    // Patterns of files and folders left out (archive/scan/ExclusionPatterns.h), relative to
    // each source's folder.
    std::vector<std::string> Exclusions;
};

// How a run ended: its record, and every report it collected (those of the engine, which also
// reach the component's own OnError handler, and the run's own).
struct RunOutcome {
    RunRecord Record;
    BackupReport Report;
    // False when the run could not be recorded in the history it was to go to.
    bool HistoryWritten = true;
};

// Sets the archive component up for a backup of `fileSpec` into `archive`: ArchiveFile, the
// file's own date, stored names relative to each source's folder, `recurse`, TempDir, no
// exclusion but the patterns `exclusions`, one FileSpec line per source, hidden folders entered,
// every attribute taken and none excluded, and the parts of a backup past one cabinet beside
// the archive.
void ConfigureForBackup(TMakeCab& cab, const std::string& archive,
                        const std::vector<std::string>& fileSpec, bool recurse,
                        const std::string& tempDir,
                        const std::vector<std::string>& exclusions = {});

// Runs the whole backup on `cab`; shows nothing itself. The message of the record is the text
// for the user, empty when the run found nothing to report. While it runs, the system is kept
// from going to sleep; when it has ended, it is recorded in the history of runs.
RunOutcome RunBackup(TMakeCab& cab, const BackupRequest& request);

} // namespace ostrivane::run
