// Restores the files of a cabinet set into a folder. Nothing is ever written outside it: names
// that are absolute or hold "..", "." or empty parts are refused, folders are opened one part at
// a time without following links, and each file is written under a temporary name in its folder
// and then renamed into place, so that neither a link planted in the folder nor a half-written
// file can take the place of a restored one.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct RestoreOptions {
    // Replace files that exist already (otherwise they are kept and the entry is reported).
    bool Overwrite = false;
    // Shell patterns ("*" also matches "/") for the names, with "/" between the parts; a pattern
    // also takes everything below a folder of that name. Empty: every file.
    std::vector<std::string> Patterns;
};

struct RestoreOutcome {
    int Restored = 0;
    int Failed = 0; // files that matched but were not restored, and parts that could not be read
    std::vector<std::string> UnmatchedPatterns;
    bool Complete() const { return Failed == 0 && UnmatchedPatterns.empty(); }
};

// Restores into `folder` (created with its parents when missing). Every file (or part) that
// cannot be restored goes to `problem` with the reason, as it is met; the others are restored
// all the same. Modification times come from the cabinet's DOS date and time (local time); a
// read-only attribute leaves the file without write permission.
RestoreOutcome RestoreCabinetSet(
    const std::vector<std::string>& parts, const std::string& folder, const RestoreOptions& options,
    const std::function<void(const std::string& name, const std::string& reason)>& problem);
