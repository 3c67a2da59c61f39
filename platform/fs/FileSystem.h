// File-system helpers that stand in for the Windows calls the engine was described with.
// Paths are byte strings (UTF-8 on this platform) with "/" as the separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ostrivane::fs {

// Windows-style attribute bits as this platform maps them: a directory has 0x10; a file its
// owner cannot write has 0x01; every regular file also carries the archive bit 0x20; a name
// beginning with "." carries hidden 0x02; system 0x04 never occurs.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrNormal = 0x80;
// A symbolic link recorded as a link (Windows' reparse point bit), and a folder that holds
// nothing: the walk's own marks, never stored in a cabinet's attributes.
inline constexpr std::uint32_t kAttrLink = 0x400;
inline constexpr std::uint32_t kAttrEmptyFolder = 0x10000;

// The attributes of `path` (following a final symbolic link), or nothing when it cannot be
// read.
std::optional<std::uint32_t> FileAttributes(const std::string& path);

// The attribute bits of a file with the stat mode `mode` and the bare name `name`: directory
// 0x10, owner cannot write 0x01, regular file 0x20, name beginning with "." 0x02.
std::uint32_t AttributesFromMode(unsigned mode, const std::string& name);

// The same for the file at `path` whose stat mode is `mode` (as fstat gave it for the open
// file).
std::uint32_t PathAttributesFromMode(unsigned mode, const std::string& path);

// True when `path` names an existing directory (following symbolic links).
bool IsDirectory(const std::string& path);
// True when `path` names an existing regular file (following symbolic links).
bool IsRegularFile(const std::string& path);

// The system's temporary folder: $TMPDIR when it names a folder, else "/tmp", always with a
// trailing "/".
std::string SystemTempPath();

// Creates `path` and every missing parent folder, each new one with `mode` (less the umask).
// True when the folder exists afterwards.
bool CreateDirectories(const std::string& path, unsigned mode = 0777);

// Creates a new empty file named `folder` + `prefix` + hexadecimal number + ".tmp", exclusively
// (O_EXCL), as the Windows unique-name call does; `folder` ends with "/". Returns the full path,
// or nothing when no file could be created.
std::optional<std::string> CreateUniqueTempFile(const std::string& folder,
                                                const std::string& prefix);

// The calls that change a folder's entries or make them durable. Every rename, unlink and sync
// of a backup run goes through the helpers below, so that a test can fail any one of them, or
// end the process there, and see what each step leaves.
enum class FileCall { Rename, Unlink, Sync };
// Asked before each such call with the path it concerns: 0 lets the call be made; any other
// value is an errno value the call then fails with, unmade. Unset (the default), nothing is
// asked. Tests only; not to be changed while calls are being made.
using FileCallHook = std::function<int(FileCall call, const std::string& path)>;
void SetFileCallHook(FileCallHook hook);

// Writes all of `bytes` to `fd`, again after an interruption; false (errno set, EIO when the
// file takes no more) when it could not.
bool WriteAll(int fd, std::string_view bytes);
// Reads exactly `count` bytes at `offset` of `fd` into `out`; false at an error or when the file
// ends before.
bool ReadAt(int fd, void* out, std::size_t count, std::uint64_t offset);

// Renames `from` to `to` without ever replacing an existing `to`. False (errno set) when the
// rename did not happen.
bool RenameNoReplace(const std::string& from, const std::string& to);
// Removes the file `path`; false (errno set) when it could not.
bool Unlink(const std::string& path);
// Removes the file `name` in the folder open as `dirFd`; false (errno set) when it could not.
bool UnlinkAt(int dirFd, const std::string& name);

// Makes the contents of the file `path` durable (fsync); with `dropFromCache` its pages are then
// dropped from the page cache, so that the next read comes from the storage where the system
// allows. False (errno set) when the file could not be opened or synced; a file system that
// cannot sync at all (EINVAL) counts as synced.
bool SyncFile(const std::string& path, bool dropFromCache = false);
// The same for the file open as `fd`, which is `path`.
bool SyncDescriptor(int fd, const std::string& path);
// Makes the entries of the folder `folder` durable (fsync of the folder itself): call it after
// files were created, renamed or deleted in it. A folder that may be written but not read cannot
// be opened for that; its whole file system is then flushed through `fileInside`, a file in it.
// False (errno set) on failure, as SyncFile.
bool SyncFolder(const std::string& folder, const std::string& fileInside = "");

// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

} // namespace ostrivane::fs
