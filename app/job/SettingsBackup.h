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
    run::BackupRequest Request;
};

// The run of the backup `settings` describe into `archive` (as the backup button or the
// scheduler forms it): the sources, subfolders, the exclusion patterns and the number of earlier
// archives to keep.
run::BackupRequest RequestOfSettings(const settings::SettingsRecord& settings,
                                     const std::string& archive, run::RunOrigin origin);

// Reads the settings file at `path` (a missing file reads as the window's defaults), checks its
// times by the C library's locale and forms the run of its backup, with `origin`.
SettingsBackup BackupFromSettings(const std::string& path, run::RunOrigin origin);

} // namespace ostrivane::job
