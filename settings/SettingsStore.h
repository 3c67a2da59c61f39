// Loading and saving the settings record (SettingsRecord.h) on the profile layer: one read of the
// file for a load, one atomic replace for a save, nothing in between.
#pragma once

#include "settings/SettingsRecord.h"

#include <string>
#include <string_view>

namespace ostrivane::settings {

struct LoadedSettings {
    SettingsRecord Record; // the file's values, the defaults where it has none
    bool Missing = false;  // there is no file at the path
    // Something is there that cannot be read (no permission, a folder): the record holds the
    // defaults, and the file must never be written over, since its contents would be lost.
    bool Unreadable = false;
};

LoadedSettings LoadSettings(const std::string& path);

enum class SaveResult {
    Saved,
    // A text Windows-1250 cannot hold (`Text` names it): nothing was written. It is one of the
    // record's texts (trimmed as it would be stored), or a line of a file an editor saved as
    // UTF-8 that the save would keep.
    Unstorable,
    // The file or its folder cannot be written, or the file could not be read; the file on disk
    // is the one from before.
    NotWritten,
};

struct SaveOutcome {
    SaveResult Result = SaveResult::Saved;
    std::string Text;
};

// Writes the record into the file at `path`, keeping what the file holds besides (unknown keys of
// "Nastavení", comments, the order of the lines; a list's section is written anew), and making
// the folders missing on the way to it (mode 0700).
SaveOutcome SaveSettings(const std::string& path, const SettingsRecord& record);

// True when `text` (UTF-8) can be stored in the settings file without loss.
bool IsStorable(std::string_view text);

} // namespace ostrivane::settings
