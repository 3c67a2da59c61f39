// The backups of ostrivane-cab: the archive and sources given on the command line, or the backup a
// settings file describes, each through the program's one backup run. Each returns the exit
// status: 0 when the backup is complete, verified and in place with nothing to report, 1
// otherwise.
#pragma once

#include "app/run/BackupRun.h"

#include <string>
#include <vector>

namespace cabtool {

struct BackupOptions {
    bool quiet = false; // no progress and no summary; problems are printed all the same
    // A failed backup is also told on the desktop of the user, where a session bus and a
    // notification service run (a backup from cron or a timer has nobody to read its output).
    bool notifyFailure = false;
};

// Runs `request` (origin Command) and prints every problem to standard error.
int RunBackupCommand(const ostrivane::run::BackupRequest& request, const BackupOptions& options);

// Runs the backup the settings file `settingsFile` describes (the window's file when empty), as
// the window's backup button does: a file that cannot be read and input that fails the check are
// told in the window's words. Every run of the file's job is recorded in the history of runs,
// one the input check stopped too, and a failure is told on the desktop as well.
// `moreExclusions` are left out besides the file's own patterns.
int RunSettingsBackup(const std::string& settingsFile,
                      const std::vector<std::string>& moreExclusions, const BackupOptions& options);

} // namespace cabtool
