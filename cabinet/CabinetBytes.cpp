#include "cabinet/CabinetBytes.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

std::size_t ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

const std::uint8_t* BlockStream::Take(std::size_t count) {
    if (have_ - at_ < count) {
        std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(at_),
                  buffer_.begin() + static_cast<std::ptrdiff_t>(have_), buffer_.begin());
        have_ -= at_;
        at_ = 0;
        const std::uint64_t room = limit_ > next_ ? limit_ - next_ : 0;
        const std::size_t ask =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size() - have_, room));
        const std::size_t got = ReadAt(fd_, next_, buffer_.data() + have_, ask);
        next_ += got;
        have_ += got;
        if (have_ < count)
            return nullptr;
    }
    at_ += count;
    return buffer_.data() + at_ - count;
}
