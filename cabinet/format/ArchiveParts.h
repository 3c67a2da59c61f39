// The cabinets of one backup. A backup that does not fit one cabinet goes on in parts beside its
// first cabinet (names: archive/naming/ArchiveNames.h). Files never span parts, and every part is
// a complete cabinet with the index 0, so that each opens on its own in every reader (libarchive
// refuses a cabinet with another index as a piece of a multi-volume set). Every backup carries a
// set ID of its own, chosen at random so that no cabinet of its series in the folder carries it
// already, and a cabinet named as its part belongs to it only when it carries the same set ID:
// parts of another backup, left behind by a run that was killed, are never read as its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane {

// The set ID in the header of the cabinet `path`; nothing when it is no cabinet (or a link).
std::optional<std::uint16_t> CabinetSetId(const std::string& path);

// True when `path` is a cabinet that carries a set ID, as every cabinet this program writes does:
// only such a file, named as a part of a backup, is ever taken for a stale part of one, so a
// stranger's "data-2.cab" is never moved or deleted.
bool IsArchivePart(const std::string& path);

// The cabinets of the backup whose first cabinet is `archive`: the archive itself and its parts
// 2, 3, ... while they exist and carry the archive's set ID.
std::vector<std::string> ArchiveSetParts(const std::string& archive);
// Their number (1 for a backup in one cabinet).
int CountArchiveParts(const std::string& archive);

// Deletes the cabinets named as parts `from`, from + 1, ... of `archive` while they exist and
// carry a set ID. False (errno set) when one could not be deleted.
bool RemoveArchiveParts(const std::string& archive, int from);

// A set ID, never 0, that no cabinet of the series of `archive` in its folder carries.
std::uint16_t NewSetId(const std::string& archive);

} // namespace ostrivane
