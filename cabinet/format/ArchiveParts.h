// The parts of a backup larger than one cabinet. The first part is the archive itself; part k
// (k >= 2) lies beside it as its stem, "-", k and ".cab", where the stem is the archive's folder
// and its file name up to the first "." (data.cab: data-2.cab, data-3.cab, ...; the copy
// data_1.cab: data_1-2.cab). Files never span parts, and every part is a complete cabinet with
// the index 0, so that each opens on its own in every reader (libarchive refuses a cabinet with
// another index as a piece of a multi-volume set). The parts of a set share the set ID
// kArchivePartSetId, by which a part is told from any other file of its name; a backup that
// fits one cabinet keeps the set ID 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrivane {

inline constexpr std::uint16_t kArchivePartSetId = 0x564F; // "OV"

// The archive's folder and its file name up to the first "." (the whole path without one).
std::string ArchiveStem(const std::string& archive);

// The name of part `part` (>= 2) of `archive`.
std::string ArchivePartName(const std::string& archive, int part);

// True when `path` is a cabinet that carries the set ID of a backup in parts: only such a file
// is ever taken for a part, so a stranger's "data-2.cab" is never moved or deleted.
bool IsArchivePart(const std::string& path);

// The number of parts of the backup `archive`: 1, plus its parts 2, 3, ... while they exist.
int CountArchiveParts(const std::string& archive);

// The cabinets of the backup whose first part is `archive`: the archive itself and, when it is
// the first part of a set, its further parts while they exist.
std::vector<std::string> ArchiveSetParts(const std::string& archive);

// Deletes the parts `from`, from + 1, ... of `archive` while they exist. False (errno set) when
// one could not be deleted.
bool RemoveArchiveParts(const std::string& archive, int from);

} // namespace ostrivane
