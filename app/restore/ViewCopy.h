// A copy of one file of a backup to look at before restoring it: written into a folder of its
// own that only the user may enter (mode 0700), under the file's own name, without write
// permission, so that the program that opens it cannot change it by mistake. The copies go when
// the program ends (RemoveViewCopy).
#pragma once

#include "app/restore/RestoreChoice.h"

#include <optional>
#include <string>

namespace ostrivane::restore {

struct ViewCopy {
    std::string Folder; // the private folder made for it
    std::string File;   // the copy in it
};

// Copies the file `file` (an index in backup.Files) of `backup` into a new private folder below
// `tempRoot`. Nothing when it could not be had; `summary` tells why (as a restore would).
std::optional<ViewCopy> CopyForViewing(const Backup& backup, std::uint32_t file,
                                       const std::string& tempRoot, const RestoreControl& control,
                                       RestoreSummary& summary);

// Removes the copy and its folder.
void RemoveViewCopy(const ViewCopy& copy);

} // namespace ostrivane::restore
