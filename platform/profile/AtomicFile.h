// Replacing a file as one step: the new contents go to a temporary file in the same folder
// ("<name>.tmp" + six random characters, created exclusively), which is synced and then renamed
// over the old file. A crash, a full disk or a refused write leaves the old file as it was.
#pragma once

#include <optional>
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

enum class ReplaceResult {
    Replaced,
    // Nothing could be started: no right to write there, a read-only file system, a missing
    // folder, `path` not a regular file, or an existing file this user may not write.
    Refused,
    // The new contents could not be written completely (a full disk, an I/O error).
    WriteFailed,
};

// ReplaceFileAtomically that tells why it failed. With `mode`, the file gets exactly these
// permission bits (before it takes the old file's place), whatever the old file had.
ReplaceResult ReplaceFile(const std::string& path, std::string_view contents,
                          std::optional<unsigned> mode = std::nullopt);

} // namespace ostrivane::profile
