// One folder's uncompressed bytes, decoded from its data blocks in order: stored blocks as they
// are, MSZIP blocks ("CK" and a deflate stream) through ISA-L's inflate with the block before as
// history. Every block's checksum and sizes are checked as it is read; the first block found
// wrong ends the decoding, since every later block of the folder builds on it. Forward only; a
// folder is decoded again from its start to go back.
#pragma once

#include "cabinet/format/CabinetBytes.h"
#include "cabinet/format/CabinetLayout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct inflate_state;

class FolderDecoding {
public:
    // Whether folders of this compression type (the folder record's field) can be decoded.
    static bool Decodes(std::uint16_t compression);

    // `limit`: where the folder's data blocks end at the latest (the next folder's data, or the
    // end of the file when not given).
    FolderDecoding(int fd, const CabinetDirectory& directory, std::uint16_t folder,
                   std::uint64_t limit = UINT64_MAX);
    FolderDecoding(const FolderDecoding&) = delete;
    FolderDecoding& operator=(const FolderDecoding&) = delete;
    ~FolderDecoding();

    std::uint16_t Folder() const { return folder_; }
    // The offset in the folder's uncompressed bytes of the next byte Read gives.
    std::uint64_t Position() const { return position_; }

    using Sink = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
    // Gives the next `count` bytes to `sink` (none: they are passed over). `keepGoing` is asked
    // between blocks; when it says no, `stopped` is set and nothing more is read. The result is
    // "" when all the bytes were there, else why they were not.
    std::string Read(std::uint64_t count, const Sink& sink, const std::function<bool()>& keepGoing,
                     bool& stopped);

    // From now on the stored bytes of every record read are summed (CRC-64).
    void SumStoredBytes() { stream_.SumTaken(); }
    std::uint64_t StoredCrc64() const { return stream_.TakenCrc64(); }
    // The blocks decoded so far, and the offset in the file where the next record would begin.
    std::uint16_t BlocksDecoded() const { return decoded_; }
    std::uint64_t StoredPosition() const { return stream_.Position(); }

private:
    // Decodes the next block into current_; the problem met, or "".
    std::string NextBlock();

    std::uint16_t folder_;
    std::uint16_t compression_;
    std::uint16_t blocks_;
    std::size_t recordHead_;
    BlockStream stream_;
    std::unique_ptr<inflate_state> inflater_;
    std::vector<std::uint8_t> current_;
    std::vector<std::uint8_t> previous_;
    std::size_t currentSize_ = 0;
    std::size_t previousSize_ = 0;
    std::size_t taken_ = 0; // of current_
    std::uint16_t decoded_ = 0;
    std::uint64_t position_ = 0;
    std::string failed_; // once a block cannot be decoded, nothing after it can
};
