// The last step of a backup run: a complete backup, written under temporary names, takes the
// place of the archive.
#pragma once

#include "app/run/BackupReport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrivane::run {

struct BackupRequest;

// Gives the complete backup whose cabinets are `cabinets` (in their order, in the archive's
// folder) the name `archive` and its parts' names. A part name held by anything but a cabinet of
// this program ends it before anything moves. Then the series of the request's archive P is
// rotated, unless the existing archive is to be replaced (the request says so, or no copy is kept
// and the first copy is there for good); then the parts get their names (a stale cabinet of this
// program under such a name goes first), then the first cabinet, replacing an archive of that
// name in one rename; then the parts of an older set beyond the new one's are deleted, and the
// folder is synced. False, with the reason added to `report`, when a step failed; the cabinets
// not yet renamed are still under their temporary names then.
bool PlaceBackup(const std::vector<std::string>& cabinets, const std::string& archive,
                 const BackupRequest& request, BackupReport& report);

} // namespace ostrivane::run
