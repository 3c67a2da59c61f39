#include "cabinet/format/CabinetBytes.h"

#include "cabinet/format/FileCatalog.h"
#include "platform/cabformat/CabChecksum.h"
#include "platform/cabformat/CabinetFormat.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
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

void ReadSoon(int fd, std::uint64_t from, std::uint64_t to) {
    if (to > from)
        ::posix_fadvise(fd, static_cast<off_t>(from), static_cast<off_t>(to - from),
                        POSIX_FADV_WILLNEED);
}

const std::uint8_t* BlockStream::Take(std::size_t count) {
    if (have_ - at_ < count) {
        std::copy(buffer_.get() + at_, buffer_.get() + have_, buffer_.get());
        have_ -= at_;
        at_ = 0;
        const std::uint64_t room = limit_ > next_ ? limit_ - next_ : 0;
        const std::size_t ask =
            static_cast<std::size_t>(std::min<std::uint64_t>(size_ - have_, room));
        const std::size_t got = ReadAt(fd_, next_, buffer_.get() + have_, ask);
        next_ += got;
        have_ += got;
        if (have_ < count)
            return nullptr;
    }
    at_ += count;
    const std::uint8_t* taken = buffer_.get() + at_ - count;
    if (summing_)
        crc_ = ostrivane::cabformat::Crc64(crc_, taken, count);
    return taken;
}

DataBlock TakeDataBlock(BlockStream& stream, std::size_t recordHead, std::size_t index,
                        std::size_t count, std::uint16_t compression) {
    using namespace ostrivane::cabformat;
    DataBlock block;
    const std::uint8_t* head = stream.Take(recordHead);
    if (head == nullptr) {
        block.Check = BlockCheck::CutShort;
        return block;
    }
    block.Packed = LoadU16(head + 4);
    block.Unpacked = LoadU16(head + 6);
    const std::uint32_t stored = LoadU32(head);
    // The head is summed before the payload is taken: taking may move the buffer under it.
    const std::uint32_t headSum = Checksum(head + 4, recordHead - 4, 0);
    block.Data = stream.Take(block.Packed);
    if (block.Data == nullptr) {
        block.Check = BlockCheck::CutShort;
        return block;
    }
    const bool last = index + 1 == count;
    if (block.Unpacked > kBlockBytes || (!last && block.Unpacked != kBlockBytes) ||
        ((compression & kCompressionMask) == kCompressionNone && block.Packed != block.Unpacked)) {
        block.Check = BlockCheck::Malformed;
    } else if (stored != 0 && (headSum ^ Checksum(block.Data, block.Packed, 0)) != stored) {
        // 0 means the writer left the checksum out.
        block.Check = BlockCheck::ChecksumError;
    }
    return block;
}
