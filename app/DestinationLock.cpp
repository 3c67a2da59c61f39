#include "app/DestinationLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ostrivane {

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

DestinationLock::DestinationLock(const std::string& archivePath) {
    fd_ = open(FolderOf(archivePath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0)
        held_ = flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

DestinationLock::~DestinationLock() {
    if (fd_ >= 0)
        close(fd_); // closing the descriptor releases the lock
}

} // namespace ostrivane
