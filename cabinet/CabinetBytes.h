// Reading a cabinet's bytes by position: whole ranges with pread, and one folder's data blocks
// in order through a buffer, never past a limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads up to `count` bytes at `offset`; fewer only at the end of the file or on an error.
std::size_t ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t count);

// Sequential reading from `start` up to `limit` through a buffer of 1 MiB.
class BlockStream {
public:
    BlockStream(int fd, std::uint64_t start, std::uint64_t limit)
        : fd_(fd), next_(start), limit_(limit), buffer_(1 << 20) {}

    // The next `count` bytes (at most 128 KiB), or nullptr when the limit comes first. The bytes
    // stay valid until the next call.
    const std::uint8_t* Take(std::size_t count);

private:
    int fd_;
    std::uint64_t next_;
    std::uint64_t limit_;
    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0;
    std::size_t have_ = 0;
};
