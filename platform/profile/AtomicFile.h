// Replacing a file as one step: the new contents go to a temporary file in the same folder
// ("<name>.tmp" + six random characters, created exclusively), which is synced and then renamed
// over the old file. A crash, a full disk or a refused write leaves the old file as it was.
#pragma once

#include <string>
#include <string_view>

namespace ostrivane::profile {

enum class ReadResult { Read, Missing, Unreadable };

// Reads the whole file into `contents` (empty unless Read). Missing: no file of that name (or
// its folder is missing); Unreadable: something is there that cannot be read as a file.
ReadResult ReadWholeFile(const std::string& path, std::string& contents);

// Replaces (or creates) `path` with `contents`. False, with the old file untouched and no
// temporary file left behind, when the folder cannot be written, the disk is full, `path` is a
// directory, or an existing file is not writable by this user (as Windows refuses to write a
// read-only file). An existing file keeps its permission bits; a new one gets 0666 less the
// umask. A symbolic link at `path` is kept: the file it points to is replaced.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents);

} // namespace ostrivane::profile
