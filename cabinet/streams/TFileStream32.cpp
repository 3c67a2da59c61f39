#include "cabinet/streams/TFileStream32.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens with O_NONBLOCK so that a FIFO cannot block the open, then keeps the descriptor only
// when it names a regular file. The flag has no effect on regular files and is cleared anyway.
int OpenRegularFile(const std::string& name, int flags) {
    // What this program creates (cabinets, the library's temporary files) is its user's alone,
    // whatever the umask: the folder decides who may see that it is there.
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        return -1;
    }
    if ((flags & O_CREAT) != 0)
        ::fchmod(fd, 0600);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int code = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = code;
        return -1;
    }
    // F_SETFL changes only the status flags (of those opened with, just O_NONBLOCK) and
    // ignores the access mode and the creation flags.
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

} // namespace

TFileStream32::TFileStream32(const std::string& FileName, std::uint16_t Mode,
                             std::uint8_t& OpenError)
    : fileName_(FileName), mode_(Mode) {
    Handle = -1;
    OpenError = 0;
    if (Mode == fmCreate) {
        Handle = OpenRegularFile(FileName, O_RDWR | O_CREAT | O_TRUNC);
        if (Handle < 0) {
            OpenError = kCreateError;
        }
        return;
    }
    int access = 0;
    switch (Mode & 0x0003) {
    case fmOpenRead:
        access = O_RDONLY;
        break;
    case fmOpenWrite:
        access = O_WRONLY;
        break;
    case fmOpenReadWrite:
        access = O_RDWR;
        break;
    default:
        errno = EINVAL;
        OpenError = kOpenError;
        return;
    }
    Handle = OpenRegularFile(FileName, access);
    if (Handle < 0) {
        OpenError = kOpenError;
    }
}

TFileStream32::TFileStream32(int OpenHandle, const std::string& FileName)
    : fileName_(FileName), mode_(fmOpenRead) {
    Handle = OpenHandle;
}

TFileStream32::~TFileStream32() {
    if (Handle >= 0) {
        ::close(Handle);
    }
}
