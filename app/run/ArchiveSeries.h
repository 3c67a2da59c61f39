// The rotation of the series of earlier archives beside the current one: the copies
// B + "_" + n + ".cab" for n = 1 .. depth, 1 the newest (names: archive/naming/ArchiveNames.h),
// and the pruning of archives named after the date and time, each on its own. A backup run does
// both as part of the placement of its new backup (BackupPlacement.h), which plans them
// (PlacementPlan.h) and carries them out crash-safe, as these do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ostrivane {

// A step of the rotation that could not be made: the file it concerned and the errno value, or
// that the file is a symbolic link or a special file, which the rotation never moves or deletes.
struct RotationFailure {
    std::string File;
    int Error = 0;
    bool NotAFile = false;
};

// Shifts the earlier archives before a new one is written as `archivePath`, only when a file of
// exactly that path exists: B_depth.cab is deleted, every other B_n.cab with n < depth becomes
// B_(n+1).cab, and the archive itself becomes B_1.cab; renames never replace a file. With a depth
// below 1 the archive becomes B_1.cab when that name is free and is deleted otherwise. A backup
// in parts moves and goes with all its parts (data-2.cab becomes data_1-2.cab), and parts left
// under a number by an earlier, larger set are removed when a copy takes that number.
//
// A step that fails ends the rotation: the renames made are taken back and the failure is
// returned. Before anything moves, the archive and every copy found must be regular files, and
// every name a copy takes free or held by a stale cabinet of this program: a symbolic link or a
// special file in the series, or a name taken by anything else, is a failure with nothing
// changed.
//
// The copies are found by listing the folder, so a huge depth costs no more than a small one;
// in a folder that can be written but not listed they are found by name, from B_1 up while they
// exist, and B_depth. The renames are flushed to the disk before the function returns.
std::optional<RotationFailure> RotateArchiveSeries(const std::string& archivePath,
                                                   std::int32_t depth);

// After the backup `archive`, named after the date and time of its start, was put in place:
// deletes the oldest backups of that form in its folder, each with its parts, so that `archive`
// and `depth` earlier ones remain (`archive` itself is never deleted). Only regular files count;
// nothing is done in a folder that cannot be listed.
std::optional<RotationFailure> PruneDateTimeArchives(const std::string& archive,
                                                     std::int32_t depth);

} // namespace ostrivane
