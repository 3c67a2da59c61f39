// Every kept version of one file: the backups of a catalog that hold a file of its stored name.
#pragma once

#include "app/restore/NameSearch.h"

#include <string_view>
#include <vector>

namespace ostrivane::restore {

// One FileRef per backup of `backups` that holds a file stored as `storedName` (compared
// exactly), in the catalog's order: the newest backup first.
std::vector<FileRef> FileVersions(const std::vector<Backup>& backups, std::string_view storedName);

} // namespace ostrivane::restore
