#include "app/run/StaleTemporaries.h"

#include "archive/naming/ArchiveNames.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <vector>

namespace ostrivane::run {

namespace {

// An empty temporary file younger than this may be one that its maker has not locked yet.
constexpr std::time_t kLockingGraceSeconds = 2;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the engine's temporary file `name` in the folder open as `dirFd` when it is this
// user's, no process holds it and it is not one just made.
void RemoveUnheldEngineFile(int dirFd, const char* name) {
    const UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!fd.Valid() || ::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_uid != ::geteuid() || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return;
    if (opened.st_size == 0 && std::time(nullptr) - opened.st_mtime < kLockingGraceSeconds)
        return;
    // Removed while this lock is held, and only when the name still leads to the file locked.
    struct stat named {};
    if (::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
        fs::UnlinkAt(dirFd, name);
}

// Removes the engine's stale temporary files in `folder`, and with `runCabinets` the cabinets a
// run left under temporary names: one listing of the folder for both.
void RemoveIn(const std::string& folder, bool runCabinets) {
    if (folder.empty())
        return;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return;
    std::vector<std::string> cabinets;
    std::vector<std::string> engineFiles;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (runCabinets && names::IsRunTemporary(entry->d_name))
            cabinets.emplace_back(entry->d_name);
        else if (names::IsEngineTemporary(entry->d_name))
            engineFiles.emplace_back(entry->d_name);
    }
    const int dirFd = ::dirfd(dir.get());
    for (const std::string& name : cabinets) {
        struct stat info {};
        if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            fs::UnlinkAt(dirFd, name);
    }
    for (const std::string& name : engineFiles)
        RemoveUnheldEngineFile(dirFd, name.c_str());
}

} // namespace

void RemoveStaleTemporaries(const std::string& destination, const std::string& tempFolder) {
    RemoveIn(destination, true);
    RemoveIn(tempFolder, false);
}

} // namespace ostrivane::run
