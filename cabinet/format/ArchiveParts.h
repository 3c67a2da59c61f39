// The cabinets of one backup. A backup that does not fit one cabinet goes on in parts beside its
// first cabinet (names: archive/naming/ArchiveNames.h). Files never span parts, and every part is
// a complete cabinet with the index 0 in its header, so that each opens on its own in every
// reader (libarchive refuses a cabinet with another index as a piece of a multi-volume set).
//
// Every cabinet knows its place in its set (SetRecord.h): the backup's token, its index and the
// number of cabinets. A set is read from its first cabinet: the parts it counts must be there
// under their names, each carrying the same token and its own index, none cut short, and no
// cabinet of the backup may lie beyond them; whatever differs is a problem of the set, which
// every reader of ours tells while it still reads every cabinet that does belong. While a
// placement cut short is under way in the folder (PlacementRecord.h), the set is read as it
// stands once the placement is finished: each name from the file that will hold it.
//
// Every backup also carries a 16-bit set ID of its own in its cabinets' headers, chosen so that
// no cabinet of its series in the folder carries it already. Sets written before the set record
// existed are read by it alone: the parts while they carry the first cabinet's set ID.
#pragma once

#include "cabinet/format/SetRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane {

// What can be wrong with the set of a backup's cabinets.
enum class PartFault {
    Missing,    // a part the first cabinet counts is not there
    Unreadable, // a part is there but cannot be opened (Error)
    Foreign,    // the file under a part's name is no cabinet of this backup
    Repeated,   // a cabinet of this backup lies under the name of another of its parts
    Extra,      // a cabinet of this backup lies beyond the parts its first cabinet counts
    CutShort,   // the file is shorter than its header says
    NotFirst,   // the cabinet read as a backup is a later part of one
};

struct PartProblem {
    std::string Part; // the path of the cabinet (or of the name where it is missing)
    PartFault Fault = PartFault::Missing;
    int Index = 0;          // the number of the part under whose name the problem is (1 the first)
    int Count = 0;          // how many cabinets the set has
    int Carried = 0;        // Repeated, NotFirst: the index the cabinet carries
    std::uint64_t Size = 0; // CutShort: the file's size
    std::uint64_t Expected = 0; // CutShort: the size its header gives
    int Error = 0;              // Unreadable: the errno value
};

// The problem in words, as the command line prints it after the cabinet's path.
std::string DescribePartProblem(const PartProblem& problem);

struct ArchiveSet {
    // The cabinets to read, the first one first: every cabinet under the set's names that
    // belongs to it (a cut one too, for what can be read of it), by the paths they have now.
    std::vector<std::string> Parts;
    std::vector<PartProblem> Problems; // by the names of the set
    // A placement cut short in the folder is taken as finished: a path may be another name.
    bool PlacementPending = false;
};

// The set of the backup whose first cabinet is `archive` (reached through a final symbolic link
// where the user names one). A file that is not a cabinet at all is left to the reader, which
// says what it is.
ArchiveSet ReadArchiveSet(const std::string& archive);
// Its cabinets alone.
std::vector<std::string> ArchiveSetParts(const std::string& archive);

// Every file under the names of the backup `archive` that belongs to it, whole or not, with its
// part number (1 the archive itself): the archive, then each part name that holds a cabinet with
// its token (for a set written before the set record, its set ID). What moves or goes when the
// backup does.
struct BackupCabinet {
    int Part = 1;
    std::string Path;
};
std::vector<BackupCabinet> CabinetsOfBackup(const std::string& archive);

// The check of a set just written, by the paths of its cabinets in their order: every one
// carries `token`, its own index and their number, and none is cut short.
std::vector<PartProblem> CheckWrittenSet(const std::vector<std::string>& cabinets,
                                         const cabformat::SetToken& token);

// True when `path` is a cabinet that carries a set ID, as every cabinet this program writes does:
// only such a file, named as a part of a backup, is ever taken for a stale part of one, so a
// stranger's "data-2.cab" is never moved or deleted.
bool IsArchivePart(const std::string& path);

// Deletes the cabinets named as parts `from`, from + 1, ... of `archive` while they exist and
// carry a set ID. False (errno set) when one could not be deleted.
bool RemoveArchiveParts(const std::string& archive, int from);

// A set ID, never 0, that no cabinet of the series of `archive` in its folder carries.
std::uint16_t NewSetId(const std::string& archive);

} // namespace ostrivane
