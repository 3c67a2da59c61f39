// Reading a cabinet's bytes by position: whole ranges with pread, one folder's data blocks in
// order through a buffer, never past a limit, and the checks every data record must pass.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Reads up to `count` bytes at `offset`; fewer only at the end of the file or on an error.
std::size_t ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t count);

// How far ahead of a front-to-back reading the storage is asked for the bytes: a cabinet just
// written is read back no faster than the storage is kept busy.
inline constexpr std::uint64_t kReadAheadBytes = 128u << 20;
// Asks the storage for [from, to) of `fd` now, for reads that follow (a hint; nothing fails).
void ReadSoon(int fd, std::uint64_t from, std::uint64_t to);

// Sequential reading from `start` up to `limit` through a buffer of at most 1 MiB (less for a
// short stretch).
class BlockStream {
public:
    BlockStream(int fd, std::uint64_t start, std::uint64_t limit)
        : fd_(fd), next_(start), limit_(limit),
          size_(static_cast<std::size_t>(
              std::clamp<std::uint64_t>(limit > start ? limit - start : 0, kLeast, kMost))),
          buffer_(new std::uint8_t[size_]) {}

    // The next `count` bytes (at most 128 KiB), or nullptr when the limit comes first. The bytes
    // stay valid until the next call.
    const std::uint8_t* Take(std::size_t count);

    // From now on every byte taken is summed (CRC-64, as the catalog takes it).
    void SumTaken() { summing_ = true; }
    std::uint64_t TakenCrc64() const { return crc_; }
    // The offset of the next byte Take gives.
    std::uint64_t Position() const { return next_ - (have_ - at_); }

private:
    int fd_;
    std::uint64_t next_;
    static constexpr std::uint64_t kLeast = 256u << 10; // a whole record always fits
    static constexpr std::uint64_t kMost = 1u << 20;
    std::uint64_t limit_;
    std::size_t size_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t at_ = 0;
    std::size_t have_ = 0;
    bool summing_ = false;
    std::uint64_t crc_ = 0;
};

enum class BlockCheck {
    Sound,
    CutShort,      // the cabinet (or the folder's room) ends inside the record
    Malformed,     // breaks a rule every writer keeps; decompressors are not trusted with it
    ChecksumError, // the record's checksum is not 0 and does not match
};

struct DataBlock {
    BlockCheck Check = BlockCheck::Sound;
    const std::uint8_t* Data = nullptr; // the payload, valid until the stream is read again
    std::size_t Packed = 0;
    std::size_t Unpacked = 0;
};

// Takes the next data record of a folder from `stream`: block `index` of `count`, with record
// heads of `recordHead` bytes, in a folder of the compression type `compression` (the folder
// record's field). A block other than the last holds 32768 bytes, none more, and a stored one
// holds as many bytes as it unpacks to.
DataBlock TakeDataBlock(BlockStream& stream, std::size_t recordHead, std::size_t index,
                        std::size_t count, std::uint16_t compression);
