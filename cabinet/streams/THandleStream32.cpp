#include "cabinet/streams/THandleStream32.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kInvalidPosition = 0xFFFFFFFF;
// The Windows call without a high part reaches positions up to 0xFFFFFFFE.
constexpr off_t kLargestPosition = 0xFFFFFFFE;

} // namespace

std::int32_t THandleStream32::GetSize() {
    struct stat info {};
    if (::fstat(Handle, &info) != 0 || info.st_size < 0 || info.st_size > 0xFFFFFFFE) {
        return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(info.st_size));
}

void THandleStream32::SetSize(std::int32_t NewSize) {
    if (Seek(NewSize, soFromBeginning) != NewSize || ::ftruncate(Handle, NewSize) != 0) {
        const int code = errno;
        throw EOSError(code, std::strerror(code));
    }
}

std::int32_t THandleStream32::Read(void* Buffer, std::int32_t Count) {
    if (Count < 0) {
        errno = EINVAL;
        return 0;
    }
    errno = 0;
    ssize_t n;
    do {
        n = ::read(Handle, Buffer, static_cast<size_t>(Count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<std::int32_t>(n);
}

std::int64_t THandleStream32::Seek(std::int64_t Offset, std::uint16_t Origin) {
    const off_t distance = static_cast<std::int32_t>(static_cast<std::uint32_t>(Offset));
    off_t base = 0;
    switch (Origin) {
    case soFromBeginning:
        break;
    case soFromCurrent:
        base = ::lseek(Handle, 0, SEEK_CUR);
        break;
    case soFromEnd:
        base = ::lseek(Handle, 0, SEEK_END);
        break;
    default:
        errno = EINVAL;
        return kInvalidPosition;
    }
    if (base < 0) {
        return kInvalidPosition;
    }
    // The position is already there (the size of a file is asked for this way once per file).
    if (Origin != soFromBeginning && distance == 0 && base <= kLargestPosition) {
        return static_cast<std::int64_t>(base);
    }
    const off_t target = base + distance;
    if (target < 0 || target > kLargestPosition) {
        errno = EINVAL;
        return kInvalidPosition;
    }
    errno = 0;
    const off_t result = ::lseek(Handle, target, SEEK_SET);
    return result < 0 ? kInvalidPosition : static_cast<std::int64_t>(result);
}

std::int32_t THandleStream32::Write(const void* Buffer, std::int32_t Count) {
    if (Count < 0) {
        errno = EINVAL;
        return 0;
    }
    // A regular file accepts a short write only when it runs out of room; writing on lets the
    // next call report the reason (ENOSPC), as the Windows call reports a full disk at once.
    const char* bytes = static_cast<const char*>(Buffer);
    std::size_t done = 0;
    errno = 0;
    while (done < static_cast<std::size_t>(Count)) {
        const ssize_t n = ::write(Handle, bytes + done, static_cast<std::size_t>(Count) - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 0;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int32_t>(done);
}
