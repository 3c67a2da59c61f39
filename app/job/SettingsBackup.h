// The backup a settings file describes, as the window's backup button runs it: the settings the
// window would load from the file, the input check with its messages, and the archive path, depth
// and sources of the run.
#pragma once

#include "app/run/BackupRun.h"
#include "settings/SettingsRecord.h"

#include <optional>
#include <string>

namespace ostrivane::job {

struct SettingsBackup {
    // Set when no backup can be run: the file cannot be read, or the input check failed. The
    // texts are the window's (UTF-8).
    std::optional<std::string> Problem;
    bool FileMissing = false; // no file at the path: the window's defaults were checked
    bool Unreadable = false;  // the file is there but cannot be read: no job is known
    // The run; when the input check failed, its job and archive path as the fields form them,
    // for the record of the run it stopped.
    run::BackupRequest Request;
};

// The record of a run of `request`'s job that the input check stopped with `message`: a failed
// run that wrote nothing, started and ended now.
run::RunRecord StoppedRun(const run::BackupRequest& request, const std::string& message);

// The run of the backup `settings` describe into `archive` (as the backup button or the
// scheduler forms it): its job, the sources, subfolders, the exclusion patterns and the number of
// earlier archives to keep.
run::BackupRequest RequestOfSettings(const settings::SettingsRecord& settings,
                                     const std::string& archive, run::RunOrigin origin);

// Reads the settings file at `path` (a missing file reads as the window's defaults), checks it as
// the backup button does and forms the run of its backup, with `origin`.
SettingsBackup BackupFromSettings(const std::string& path, run::RunOrigin origin);

} // namespace ostrivane::job
