// The backups a restore can take files from, for the archive path P the backup button writes:
// P itself, its copies P_1, P_2, ... (however many lie in its folder) and the archives named
// after the date and time in that folder, each with its parts. Each backup comes with the time
// it was made, its size on the disk and its file list, read from its cabinets' directories
// alone; a file that is not a readable cabinet, and a backup whose set of cabinets is not whole
// (a part missing, foreign, cut short, repeated or extra), is kept as a damaged backup with the
// reason, never left out. While a placement cut short in the folder is under way, the backups are
// those it leaves once it is finished.
#pragma once

#include "cabinet/format/ArchiveParts.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivane::restore {

// One file of a backup as its cabinet's directory lists it.
struct BackupFile {
    std::uint32_t NameAt = 0; // where its stored name begins in Backup::Names
    std::uint16_t NameSize = 0;
    std::uint16_t Part = 0; // the index of its cabinet in Backup::Parts
    std::uint32_t Size = 0;
    std::uint16_t Date = 0; // DOS date and time, local time
    std::uint16_t Time = 0;
    std::uint16_t Attributes = 0;
};

struct Backup {
    std::string Archive; // its first cabinet
    // The first cabinet and its parts, by the paths they have now (another name than the set's
    // while a placement cut short in the folder is under way).
    std::vector<std::string> Parts;
    // When the backup was made, seconds since 1970: the time its catalog keeps (when it started),
    // or for a backup written before catalogs, its first cabinet's modification time.
    std::int64_t Made = 0;
    std::uint64_t Bytes = 0; // the size of all its cabinets on the disk
    std::string Problem;     // "" when every cabinet could be read, else why not (Czech)
    std::vector<PartProblem> SetProblems; // what is wrong with its set of cabinets
    std::string Names; // the stored names ("\" between folders), one after another
    std::vector<BackupFile> Files;
    // Which file the first cabinet was when it was read, and its modification time to the
    // nanosecond.
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t FileSeconds = 0;
    std::int64_t FileNanoseconds = 0;

    bool Damaged() const { return !Problem.empty(); }
    std::string_view StoredName(const BackupFile& file) const {
        return std::string_view(Names).substr(file.NameAt, file.NameSize);
    }
    // The size of its files together.
    std::uint64_t FileBytes() const;
};

// The first cabinets of the backups of the archive path `archive` (made absolute by the caller),
// in no particular order.
std::vector<std::string> FindBackups(const std::string& archive);

// The backup whose first cabinet is `firstCabinet`.
Backup ReadBackup(const std::string& firstCabinet);

// True while the first cabinet of `backup` is still the file that was read: a backup run since
// has moved it along the series.
bool Unchanged(const Backup& backup);

// The backups of `archive`, the newest first by the time each keeps (the archive before its
// copies, the copies in their order, where two were made in the same second).
std::vector<Backup> ReadCatalog(const std::string& archive);

} // namespace ostrivane::restore
