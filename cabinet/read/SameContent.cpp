#include "cabinet/read/SameContent.h"

#include "platform/fs/DosDateTime.h"
#include "platform/fs/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

bool SameContent::Begin(int folder, const std::string& name, std::uint32_t size, std::uint16_t date,
                        std::uint16_t time) {
    End();
    size_ = size;
    equal_ = 0;
    UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.Valid() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) != size_ ||
        ostrivane::fs::DosDateTimeOf(info.st_mtime) !=
            ((static_cast<std::uint32_t>(date) << 16) | time))
        return false;
    file_ = std::move(file);
    return true;
}

bool SameContent::Match(const std::uint8_t* bytes, std::size_t count) {
    if (!Comparing() || equal_ + count > size_)
        return false;
    buffer_.resize(std::max(buffer_.size(), count));
    if (!ostrivane::fs::ReadAt(file_.Get(), buffer_.data(), count, equal_) ||
        std::memcmp(buffer_.data(), bytes, count) != 0)
        return false;
    equal_ += count;
    return true;
}

int SameContent::CopyEqualPart(int fd) const {
    constexpr std::size_t kChunk = 1 << 16;
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, equal_)));
    for (std::uint64_t at = 0; at < equal_;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, equal_ - at));
        errno = 0;
        if (!ostrivane::fs::ReadAt(file_.Get(), chunk.data(), count, at))
            return errno != 0 ? errno : EIO;
        if (!ostrivane::fs::WriteAll(
                fd, std::string_view(reinterpret_cast<const char*>(chunk.data()), count)))
            return errno != 0 ? errno : EIO;
        at += count;
    }
    return 0;
}
