// Restores the files of a cabinet set into a folder, or each file below a folder of its own.
// Nothing is ever written outside the folder a file goes to: names that are absolute or hold "..",
// "." or empty parts are refused, folders are opened one part at a time without following links,
// and each file is written under a temporary name in its folder and then renamed into place, so
// that neither a link planted in the folder nor a half-written file can take the place of a
// restored one. A restore that is stopped leaves no temporary file behind.
#pragma once

#include "cabinet/read/CabinetReader.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Where one file goes: below `Folder` (made with its parents when missing), under `Name` ("\" or
// "/" between the parts, held to the same rules as a stored name).
struct RestorePlace {
    std::string Folder;
    std::string Name;
};

struct RestoreOptions {
    // Replace files that exist already (otherwise they are kept, and the entry is reported or,
    // with BesideName, written beside them).
    bool Overwrite = false;
    // Shell patterns ("*" also matches "/") for the names, with "/" between the parts; a pattern
    // also takes everything below a folder of that name. Empty: every file.
    std::vector<std::string> Patterns;
    // When given, only the entries it takes (as well as the patterns).
    std::function<bool(const CabinetEntry&)> Select;
    // When given, where each entry goes (nothing: no place is known, the entry is reported);
    // otherwise below the restore folder under its stored name.
    std::function<std::optional<RestorePlace>(const CabinetEntry&)> Place;
    // When given, a file whose name is taken is written beside it under the name this gives for
    // attempt 1, 2, ... (each tried without ever replacing what is there).
    std::function<std::string(const std::string& name, int attempt)> BesideName;
    // Asked between blocks of data; false stops the restore, removing the file being written.
    std::function<bool()> KeepGoing;
    // Hears the number of bytes written so far (and of those found equal, see LeaveIdentical),
    // as they are written.
    std::function<void(std::uint64_t bytes)> Written;
    // With BesideName or Overwrite: a file of the entry's name that holds exactly the entry (its
    // size, its time and every byte, compared as they are decoded) is left as it is and counted
    // as identical; nothing is written for it.
    bool LeaveIdentical = false;
    // Hears each entry as its restore begins.
    std::function<void(const CabinetEntry& entry)> Begun;
    CabinetDecoder Decoder = CabinetDecoder::Independent;
};

// Why a file (or a part of the set) was not restored.
enum class RestoreFailure {
    Refused,      // an unsafe name, or a link or a file where a folder belongs
    Damaged,      // its bytes cannot be read or cannot be trusted
    Unreadable,   // a part of the set cannot be read at all
    Unplaced,     // no place is known for it
    Kept,         // a file of its name exists and is kept
    FolderFailed, // a folder cannot be made or opened (Error tells why)
    WriteFailed,  // the file cannot be created, written or put in place (Error tells why)
};

struct RestoreProblem {
    std::string Name; // the entry's name ("/" between the parts), or the part's or folder's path
    RestoreFailure Kind = RestoreFailure::Damaged;
    int Error = 0;      // the system's error number where the system refused
    std::string Folder; // FolderFailed: the folder that cannot be had
    std::string Text;   // the reason in words, as the command line prints it
};

struct RestoreOutcome {
    int Restored = 0;  // beside ones included
    int Beside = 0;    // written beside a file of the same name
    int Identical = 0; // not written: the file there holds exactly the entry (LeaveIdentical)
    int Failed = 0;    // files that matched but were not restored, and parts that could not be read
    bool Stopped = false; // KeepGoing ended the restore
    std::vector<std::string> UnmatchedPatterns;
    bool Complete() const { return Failed == 0 && !Stopped && UnmatchedPatterns.empty(); }
};

// Restores into `folder` (created with its parents when missing), or where options.Place says.
// Every file (or part) that cannot be restored goes to `problem`, as it is met; the others are
// restored all the same. Modification times come from the cabinet's DOS date and time (local
// time); a read-only attribute leaves the file without write permission.
RestoreOutcome RestoreCabinetSet(const std::vector<std::string>& parts, const std::string& folder,
                                 const RestoreOptions& options,
                                 const std::function<void(const RestoreProblem&)>& problem);
