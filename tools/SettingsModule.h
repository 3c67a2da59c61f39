// The reading of a settings file for `ostrivane-cab --settings`, built as a module of its own that
// the front end loads only for that option: the settings rules of the window need Qt's core
// module, which the plain backups and the reading commands then neither load nor carry (some
// megabytes of memory through every backup).
#pragma once

#include "app/run/BackupRun.h"

#include <optional>
#include <string>

namespace cabtool {

// The module's file, beside the front end's own.
inline constexpr const char* kSettingsModuleName = "libostrivane-settings.so";
// Its one entry point, of type SettingsReader.
inline constexpr const char* kSettingsReaderName = "OstrivaneReadSettingsBackup";

struct SettingsRead {
    std::string Path;                   // the settings file read (UTF-8)
    bool FileMissing = false;           // no file there: the window's defaults were checked
    std::optional<std::string> Problem; // the window's message when no backup can be run (UTF-8)
    ostrivane::run::BackupRequest Request;
};

// Reads the settings file `settingsFile` (the window's file when empty; `programFolder` is the
// front end's folder, where the window's rule starts) and forms the run of its backup.
using SettingsReader = void(const char* settingsFile, const char* programFolder, SettingsRead* out);

} // namespace cabtool
