#include "cabinet/read/FolderDecoding.h"

#include "cabinet/format/ReadReasons.h"
#include "platform/cabformat/CabinetFormat.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>

using namespace ostrivane::cabformat;

bool FolderDecoding::Decodes(std::uint16_t compression) {
    const std::uint16_t type = compression & kCompressionMask;
    return type == kCompressionNone || type == kCompressionMszip;
}

FolderDecoding::FolderDecoding(int fd, const CabinetDirectory& directory, std::uint16_t folder,
                               std::uint64_t limit)
    : folder_(folder), compression_(directory.Folders.at(folder).Compression & kCompressionMask),
      blocks_(directory.Folders.at(folder).DataBlocks),
      recordHead_(kDataRecordBytes + directory.DataReserve),
      stream_(fd, directory.Folders.at(folder).DataOffset, std::min(limit, directory.FileSize)),
      inflater_(std::make_unique<inflate_state>()), current_(kBlockBytes), previous_(kBlockBytes) {
    if (!Decodes(compression_))
        failed_ = ostrivane::reasons::FolderCompressionUnknown();
}

FolderDecoding::~FolderDecoding() = default;

std::string FolderDecoding::NextBlock() {
    if (decoded_ >= blocks_)
        return ostrivane::reasons::BlocksEndBeforeFile();
    const DataBlock taken = TakeDataBlock(stream_, recordHead_, decoded_, blocks_, compression_);
    switch (taken.Check) {
    case BlockCheck::CutShort:
        return ostrivane::reasons::CabinetEndsInsideBlock(decoded_);
    case BlockCheck::Malformed:
        return ostrivane::reasons::BlockMalformed(decoded_);
    case BlockCheck::ChecksumError:
        return ostrivane::reasons::BlockChecksum(decoded_);
    case BlockCheck::Sound:
        break;
    }
    const std::uint8_t* data = taken.Data;
    const std::size_t packed = taken.Packed;
    const std::size_t unpacked = taken.Unpacked;

    std::swap(current_, previous_);
    previousSize_ = currentSize_;
    if (compression_ == kCompressionNone) {
        std::memcpy(current_.data(), data, packed);
    } else {
        if (packed < sizeof kMszipSignature ||
            std::memcmp(data, kMszipSignature, sizeof kMszipSignature) != 0)
            return ostrivane::reasons::BlockNoSignature(decoded_);
        inflate_state& state = *inflater_;
        isal_inflate_init(&state);
        state.crc_flag = ISAL_DEFLATE;
        // ISA-L takes non-const pointers but only reads the history and the input.
        if (previousSize_ > 0 &&
            isal_inflate_set_dict(&state, previous_.data(),
                                  static_cast<std::uint32_t>(previousSize_)) != ISAL_DECOMP_OK)
            return ostrivane::reasons::BlockNotDecompressed(decoded_);
        state.next_in = const_cast<std::uint8_t*>(data + sizeof kMszipSignature); // NOLINT
        state.avail_in = static_cast<std::uint32_t>(packed - sizeof kMszipSignature);
        state.next_out = current_.data();
        state.avail_out = static_cast<std::uint32_t>(unpacked);
        const int result = isal_inflate(&state);
        if (result != ISAL_DECOMP_OK || state.block_state != ISAL_BLOCK_FINISH ||
            state.avail_out != 0)
            return ostrivane::reasons::BlockNotDecompressed(decoded_);
    }
    currentSize_ = unpacked;
    taken_ = 0;
    ++decoded_;
    return {};
}

std::string FolderDecoding::Read(std::uint64_t count, const Sink& sink,
                                 const std::function<bool()>& keepGoing, bool& stopped) {
    stopped = false;
    while (count > 0) {
        if (!failed_.empty())
            return failed_;
        if (taken_ == currentSize_) {
            if (keepGoing && !keepGoing()) {
                stopped = true;
                return {};
            }
            failed_ = NextBlock();
            continue;
        }
        const std::size_t step =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, currentSize_ - taken_));
        if (sink)
            sink(current_.data() + taken_, step);
        taken_ += step;
        position_ += step;
        count -= step;
    }
    return {};
}
