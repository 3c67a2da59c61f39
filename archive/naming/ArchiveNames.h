// The names of a backup's files, in one place. A run writes the archive P; the earlier backups
// are its series of copies; a backup larger than one cabinet goes on in parts; the scheduler can
// name an archive after the date and time of its start; and a run writes under temporary names
// until its archive is complete and read back. The scan keeps every one of these out of a backup
// whose destination lies inside a source, by the same rules.
//
//   series stem B   P's folder + P's file name up to its first "." (data.cab, data.monday.cab:
//                   <folder>/data); a dot in a folder never shortens it
//   copy n          B + "_" + n + ".cab", n = 1 the newest (data_1.cab)
//   part k          the cabinet's path without its extension + "-" + k + ".cab", k >= 2
//                   (data-2.cab, data.monday-2.cab, data_1-2.cab, 202612080442-2.cab)
//   date and time   twelve digits YYYYMMDDhhmm + ".cab" (202612080442.cab)
//   run temporary   "." + "ostrivane-" + token + "-" + k + ".tmp" in the archive's folder
//   probe           "." + "ostrivane-probe-" + hexadecimal digits + ".tmp": the file that tells
//                   whether the archive's folder can be written (a run temporary as well)
//   going           "." + "ostrivane-old-" + token + "-" + k + ".tmp": a cabinet of an earlier
//                   backup on its way out while the placement of a new one lasts (a run
//                   temporary as well)
//   placement record ".ostrivane-placement": what the placement of a backup is about to do,
//                   kept in the destination folder while it lasts
//   lock file       ".ostrivane.lock": the lock of a folder that may be written but not read
//   engine temporary "vrk" + hexadecimal digits + ".tmp" (the cabinet library's working files)
#pragma once

#include "platform/fs/Paths.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrivane::names {

inline constexpr std::string_view kCabinetExtension = ".cab";
// The prefix of the engine's temporary files (as Windows' temporary-name call takes one).
inline constexpr std::string_view kEngineTempPrefix = "vrk";
inline constexpr std::string_view kTempExtension = ".tmp";
// The digits of a name made of the date and time.
inline constexpr std::size_t kDateTimeDigits = 12;

// Paths are split by the platform's one rule.
using fs::FolderOf;
using fs::NameOf;

// B: the folder of `archive` followed by its file name up to the first ".".
std::string SeriesStem(const std::string& archive);
// The n-th earlier copy of the backup `archive` (B + "_" + n + ".cab").
std::string SeriesCopy(const std::string& archive, std::int64_t n);
// The number n of a file name "<stemName>_<n>.cab" (n written without leading zeros), where
// `stemName` is the file-name part of B; nothing for any other name.
std::optional<std::int64_t> CopyNumber(std::string_view fileName, std::string_view stemName);

// Part `part` (>= 2) of the backup whose first cabinet is `cabinet`.
std::string PartName(const std::string& cabinet, int part);

// YYYYMMDDhhmm, each field but the year with a leading zero where it has one digit.
std::string DateTimeName(int year, int month, int day, int hour, int minute);
// True for a first cabinet named after the date and time ("202612080442.cab").
bool IsDateTimeArchive(std::string_view fileName);

// The name under which a run writes cabinet `part` (1 the first) of its backup in `folder`
// before the backup is complete; `token` tells the runs apart.
std::string RunTemporaryName(const std::string& folder, std::string_view token, int part);
// A token that tells the temporary names of one run, or of one placement, from those of any
// other: 64 random bits in hexadecimal.
std::string NewNameToken();
// What every name RunTemporaryName gives with `token` begins with.
std::string RunTemporaryPrefix(std::string_view token);
// The name under which cabinet `k` of an earlier backup waits, while a placement lasts, to be
// deleted: a run temporary that no run writes to.
std::string GoingName(std::string_view token, int k);
// True for a name RunTemporaryName or GoingName gives, in any folder.
bool IsRunTemporary(std::string_view fileName);

// What the name of the probe of a folder's write protection begins with.
inline constexpr std::string_view kProbePrefix = ".ostrivane-probe-";

// The placement record and the lock file, in the destination folder.
inline constexpr std::string_view kPlacementRecordName = ".ostrivane-placement";
inline constexpr std::string_view kLockFileName = ".ostrivane.lock";
// True for a name of the engine's temporary files ("vrk" + hexadecimal digits + ".tmp").
bool IsEngineTemporary(std::string_view fileName);

// True when `fileName`, a file in the folder of `archive`, is one of the files a backup to
// `archive` writes or keeps there: the archive itself and its parts, the copies of its series
// with their parts, an archive named after the date and time with its parts, a temporary file
// of a run or of the engine, the placement record or the lock file.
bool IsBackupFile(std::string_view fileName, const std::string& archive);

} // namespace ostrivane::names
