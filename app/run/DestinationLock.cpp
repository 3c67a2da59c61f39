#include "app/run/DestinationLock.h"

#include "archive/naming/ArchiveNames.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane {

namespace {

bool SameFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

DestinationLock::DestinationLock(const std::string& archivePath)
    : folder_(fs::FolderOf(archivePath)) {
    fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0)
        LockOpenFolder();
    else if (errno == EACCES)
        LockThroughFile();
    else if (errno == ENOENT || errno == ENOTDIR)
        state_ = State::FolderMissing;
    else
        Fail(errno);
}

DestinationLock::~DestinationLock() {
    // The lock file goes while it is still locked, so that no other run can hold a lock on a
    // file that is no longer there.
    if (!lockFile_.empty())
        fs::Unlink(lockFile_);
    if (fd_ >= 0)
        ::close(fd_); // closing the descriptor releases the lock
}

void DestinationLock::Fail(int error) {
    state_ = error == EWOULDBLOCK ? State::Busy : State::Failed;
    error_ = error;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void DestinationLock::LockOpenFolder() {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
        state_ = State::Held;
    else
        Fail(errno);
}

void DestinationLock::LockThroughFile() {
    const std::string path =
        folder_ + (folder_.back() == '/' ? "" : "/") + std::string(names::kLockFileName);
    // A run that ends removes its lock file; a lock taken on the file it removed would guard
    // nothing, so the lock counts only while the name still leads to the locked file.
    for (int attempt = 0; attempt < 8; ++attempt) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd_ < 0)
            return Fail(errno);
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            return Fail(errno);
        if (SameFile(fd_, path)) {
            lockFile_ = path;
            state_ = State::Held;
            return;
        }
        ::close(fd_);
        fd_ = -1;
    }
    Fail(EAGAIN);
}

} // namespace ostrivane
