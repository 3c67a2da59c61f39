// Turns a run of consecutive blocks of a folder's data stream into complete CFDATA records
// (header, reserve, payload). MSZIP payload: "CK" and one complete raw deflate stream. The blocks
// of a run go through one deflate stream that is flushed to a byte boundary after each block and
// then ended there by an empty final block, so that every record stands alone for a reader that
// carries the history over, while the compressor never has to learn that history again: only
// the first block of a run gets the block before it as preset dictionary. Data that deflate
// cannot shrink goes into one stored deflate block, so that no payload exceeds the format's
// 32 KiB + 12 bytes.
#pragma once

#include "platform/cabformat/CabinetFormat.h"
#include "platform/fci/fci.h"
#include "platform/libcabinet/buffer_pool.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct isal_zstream;

namespace ostrivane::cabinet {

using cabformat::kBlockBytes;
// Blocks that one worker compresses in one stream. Measured on the benchmark corpus (one
// thread, level 3): a preset dictionary for every block costs 1.75 s, runs of 4 blocks 1.38 s,
// of 8 blocks 1.32 s, of 16 or 32 blocks 1.29 s, with output sizes within 0.01 % of each other.
// The whole previous block (32 KiB, the reader's full window) is the history at a run's start:
// 0.04 % smaller than 16 KiB for a few hundredths of a second, 0.5 % smaller than none.
inline constexpr std::size_t kBlocksPerRun = 8;
inline constexpr std::size_t kRunSize = kBlocksPerRun * kBlockBytes;

// The largest record `encode` can make for a block of `uncompressed` bytes, whatever they are.
std::size_t worstRecordSize(std::size_t uncompressed, unsigned reserve);
// The same for all records of a run of `uncompressed` bytes.
std::size_t worstRunSize(std::size_t uncompressed, unsigned reserve);

// The compression level used for MSZIP (see block_codec.cpp for why).
int mszipLevel();

// The records of one run, one after another, and each one's payload size.
struct EncodedRun {
    PooledBuffer bytes; // of worstRunSize(kRunSize, reserve) bytes
    std::size_t size = 0;
    std::vector<std::uint32_t> payloads;
};

class RunEncoder {
public:
    // `records` hands out the buffers of the encoded runs.
    RunEncoder(int level, std::shared_ptr<BufferPool> records);
    RunEncoder(const RunEncoder&) = delete;
    RunEncoder& operator=(const RunEncoder&) = delete;
    ~RunEncoder();

    // Encodes `input` (at most kRunSize bytes) block by block; `history` is the folder's block
    // before the run, empty at the folder's start. Throws FciFailure{FCIERR_MCI_FAIL} when the
    // compressor fails.
    void encode(TCOMP type, std::span<const std::uint8_t> input,
                std::span<const std::uint8_t> history, unsigned reserve, EncodedRun& out);

private:
    void startStream(std::span<const std::uint8_t> history);
    // Deflates one block into `out`; false when it does not fit there (the stream is still
    // carried on to the block's end, so that the next block can follow).
    bool deflateBlock(std::span<const std::uint8_t> block, std::span<std::uint8_t> out,
                      std::size_t& produced);

    int level_;
    std::shared_ptr<BufferPool> records_;
    std::unique_ptr<isal_zstream> stream_;
    std::vector<std::uint8_t> levelBuffer_;
    std::vector<std::uint8_t> overflow_;
};

} // namespace ostrivane::cabinet
