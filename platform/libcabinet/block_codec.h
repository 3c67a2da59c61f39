// Turns one block of a folder's data stream into a complete CFDATA record (header, reserve,
// payload). MSZIP payload: "CK" and one complete raw deflate stream, with the previous block of
// the folder as preset dictionary, so that any reader's carried-over history resolves it.
#pragma once

#include "platform/fci/fci.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct z_stream_s;

namespace ostrivane::cabinet {

// Uncompressed bytes of one CFDATA block at most.
inline constexpr std::size_t kBlockSize = 32768;

// The largest record `encode` can make for `uncompressed` bytes, whatever they are.
std::size_t worstRecordSize(std::size_t uncompressed, unsigned reserve);

// The deflate level and strategy used for MSZIP (see block_codec.cpp for why).
int mszipLevel();

class BlockEncoder {
public:
    explicit BlockEncoder(int level);
    BlockEncoder(const BlockEncoder&) = delete;
    BlockEncoder& operator=(const BlockEncoder&) = delete;
    ~BlockEncoder();

    // Throws FciFailure{FCIERR_MCI_FAIL} when the compressor fails.
    void encode(TCOMP type, std::span<const std::uint8_t> input,
                std::span<const std::uint8_t> dictionary, unsigned reserve,
                std::vector<std::uint8_t>& record);

private:
    void encodeMszip(std::span<const std::uint8_t> input, std::span<const std::uint8_t> dictionary,
                     std::vector<std::uint8_t>& record, std::size_t payloadAt);

    int level_;
    bool ready_ = false;
    std::unique_ptr<z_stream_s> stream_;
};

} // namespace ostrivane::cabinet
