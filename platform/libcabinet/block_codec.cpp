#include "platform/libcabinet/block_codec.h"

#include "platform/cabformat/CabChecksum.h"
#include "platform/libcabinet/fci_failure.h"
#include "platform/libcabinet/le_bytes.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ostrivane::cabinet {
namespace {

constexpr std::size_t kRecordHeader = cabformat::kDataRecordBytes;
constexpr std::size_t kSignature = sizeof cabformat::kMszipSignature;
// A stored deflate block: one byte of BFINAL and BTYPE, LEN and NLEN, then the bytes.
constexpr std::size_t kStoredBlockHead = 5;
// An empty final block with the fixed code: BFINAL 1, BTYPE 01, the end-of-block code.
constexpr std::uint8_t kFinalEmptyBlock[] = {0x03, 0x00};
// A block that deflate cannot fit is carried on into this much room at a time.
constexpr std::size_t kOverflowRoom = 2 * kBlockBytes;
constexpr int kMostOverflowRounds = 4;

// ISA-L's level 3, chosen on the benchmark corpus (bench/cabinet: headers, shared libraries,
// random and zero data, 271 MB), one thread, CPU time of the whole pack, size against `gcab -z`:
//   level 1: 0.82 s, 1.064    level 2: 0.81 s, 1.053    level 3: 1.32 s, 1.034
// The zlib level 4 used before wrote 0.986 for 3.9 s. ISA-L's match search is greedy where
// zlib's is lazy: text and binaries come out 4.4 % larger than gcab's, random and zero data
// 0.2 %. No ISA-L level reaches gcab's size; level 3 comes closest.
constexpr int kDefaultLevel = 3;

// Runs whose bytes look like noise (encrypted, or already compressed by a stronger method) are
// stored without a deflate attempt: at level 3 such data costs as much time as text and comes
// out no smaller. The judgement is the order-0 entropy of the first 4 KiB of each block; the
// threshold, less the estimate's bias for the sample's size, was set on 416 MB of JPEG, PNG,
// gzip, xz and jar files: 11 % of their runs are stored, which level 3 would have made 0.23 %
// smaller (0.03 % of the whole). Random data always passes; text and binaries never did.
constexpr std::size_t kNoiseSample = 4096;
constexpr std::size_t kLeastNoiseSample = 4 * kNoiseSample;
constexpr double kNoiseBits = 7.997;

bool looksLikeNoise(std::span<const std::uint8_t> run) {
    std::uint32_t counts[256] = {};
    std::size_t sampled = 0;
    for (std::size_t offset = 0; offset < run.size(); offset += kBlockBytes) {
        const std::size_t end = std::min(offset + kNoiseSample, run.size());
        for (std::size_t i = offset; i < end; ++i) {
            ++counts[run[i]];
        }
        sampled += end - offset;
    }
    if (sampled < kLeastNoiseSample) {
        return false;
    }
    double bits = 0;
    for (const std::uint32_t count : counts) {
        if (count != 0) {
            const double share = static_cast<double>(count) / static_cast<double>(sampled);
            bits -= share * std::log2(share);
        }
    }
    const double bias = 255.0 / (2.0 * static_cast<double>(sampled) * std::log(2.0));
    return bits >= kNoiseBits - bias;
}

// The work area each level needs beside the stream (ISA-L's suggested default sizes).
std::size_t levelBufferSize(int level) {
    switch (level) {
    case 1:
        return ISAL_DEF_LVL1_DEFAULT;
    case 2:
        return ISAL_DEF_LVL2_DEFAULT;
    case 3:
        return ISAL_DEF_LVL3_DEFAULT;
    default:
        return ISAL_DEF_LVL0_DEFAULT;
    }
}

// All input taken and flushed to a byte boundary.
bool flushed(const isal_zstream& stream) {
    return stream.avail_in == 0 &&
           (stream.avail_out > 0 || stream.internal_state.state == ZSTATE_NEW_HDR);
}

// Writes `block` as one final stored deflate block at `out`.
void storeBlock(std::span<const std::uint8_t> block, std::uint8_t* out) {
    out[0] = 0x01; // BFINAL 1, BTYPE 00; the bits up to the byte's end are padding
    const auto length = static_cast<std::uint32_t>(block.size());
    cabformat::StoreU16(out + 1, length);
    cabformat::StoreU16(out + 3, ~length & 0xFFFF);
    std::memcpy(out + kStoredBlockHead, block.data(), block.size());
}

} // namespace

int mszipLevel() {
    // A tuning knob for the benchmark only; cabinets are written at the default otherwise.
    if (const char* text = std::getenv("OSTRIVANE_CAB_LEVEL")) {
        char* end = nullptr;
        const long level = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && level >= ISAL_DEF_MIN_LEVEL &&
            level <= ISAL_DEF_MAX_LEVEL) {
            return static_cast<int>(level);
        }
    }
    return kDefaultLevel;
}

std::size_t worstRecordSize(std::size_t uncompressed, unsigned reserve) {
    // Deflate output is kept only where it is no larger than one stored block.
    return kRecordHeader + reserve + kSignature + kStoredBlockHead + uncompressed;
}

std::size_t worstRunSize(std::size_t uncompressed, unsigned reserve) {
    const std::size_t full = uncompressed / kBlockBytes;
    const std::size_t rest = uncompressed % kBlockBytes;
    return full * worstRecordSize(kBlockBytes, reserve) +
           (rest > 0 ? worstRecordSize(rest, reserve) : 0);
}

RunEncoder::RunEncoder(int level, std::shared_ptr<BufferPool> records)
    : level_(level), records_(std::move(records)), stream_(std::make_unique<isal_zstream>()),
      levelBuffer_(levelBufferSize(level)), overflow_(kOverflowRoom) {}

RunEncoder::~RunEncoder() = default;

void RunEncoder::startStream(std::span<const std::uint8_t> history) {
    isal_zstream& stream = *stream_;
    isal_deflate_init(&stream);
    stream.level = static_cast<std::uint32_t>(level_);
    stream.level_buf = levelBuffer_.empty() ? nullptr : levelBuffer_.data();
    stream.level_buf_size = static_cast<std::uint32_t>(levelBuffer_.size());
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.flush = SYNC_FLUSH;
    stream.end_of_stream = 0;
    // ISA-L takes non-const pointers but only reads the dictionary and the input.
    if (!history.empty() &&
        isal_deflate_set_dict(&stream, const_cast<std::uint8_t*>(history.data()), // NOLINT
                              static_cast<std::uint32_t>(history.size())) != COMP_OK) {
        throw FciFailure{FCIERR_MCI_FAIL, 0};
    }
}

bool RunEncoder::deflateBlock(std::span<const std::uint8_t> block, std::span<std::uint8_t> out,
                              std::size_t& produced) {
    isal_zstream& stream = *stream_;
    stream.next_in = const_cast<std::uint8_t*>(block.data()); // NOLINT: read only
    stream.avail_in = static_cast<std::uint32_t>(block.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<std::uint32_t>(out.size());
    if (isal_deflate(&stream) != COMP_OK) {
        throw FciFailure{FCIERR_MCI_FAIL, 0};
    }
    if (flushed(stream)) {
        produced = out.size() - stream.avail_out;
        return true;
    }
    // The block is stored instead; the stream still has to take it all, as history.
    for (int round = 0; !flushed(stream); ++round) {
        if (round == kMostOverflowRounds) {
            throw FciFailure{FCIERR_MCI_FAIL, 0};
        }
        stream.next_out = overflow_.data();
        stream.avail_out = static_cast<std::uint32_t>(overflow_.size());
        if (isal_deflate(&stream) != COMP_OK) {
            throw FciFailure{FCIERR_MCI_FAIL, 0};
        }
    }
    return false;
}

void RunEncoder::encode(TCOMP type, std::span<const std::uint8_t> input,
                        std::span<const std::uint8_t> history, unsigned reserve, EncodedRun& out) {
    if (worstRunSize(input.size(), reserve) > records_->bufferSize()) {
        throw FciFailure{FCIERR_MCI_FAIL, 0};
    }
    out.bytes = PooledBuffer(records_);
    out.size = 0;
    out.payloads.clear();
    const bool mszip = type == tcompTYPE_MSZIP;
    const bool deflating = mszip && !looksLikeNoise(input);
    if (deflating) {
        startStream(history);
    }
    const std::size_t payloadAt = kRecordHeader + reserve;
    for (std::size_t offset = 0; offset < input.size(); offset += kBlockBytes) {
        const std::span<const std::uint8_t> block =
            input.subspan(offset, std::min(kBlockBytes, input.size() - offset));
        std::uint8_t* record = out.bytes.get() + out.size;
        std::memset(record, 0, payloadAt);
        std::uint8_t* payload = record + payloadAt;
        std::size_t payloadSize = 0;
        if (mszip) {
            std::memcpy(payload, cabformat::kMszipSignature, kSignature);
            // Deflate may take no more room than a stored block: what does not fit is stored.
            std::uint8_t* deflated = payload + kSignature;
            const std::size_t room = kStoredBlockHead + block.size() - sizeof kFinalEmptyBlock;
            std::size_t produced = 0;
            if (deflating && deflateBlock(block, {deflated, room}, produced)) {
                std::memcpy(deflated + produced, kFinalEmptyBlock, sizeof kFinalEmptyBlock);
                payloadSize = kSignature + produced + sizeof kFinalEmptyBlock;
            } else {
                storeBlock(block, deflated);
                payloadSize = kSignature + kStoredBlockHead + block.size();
            }
        } else {
            std::memcpy(payload, block.data(), block.size());
            payloadSize = block.size();
        }
        cabformat::StoreU16(record + 4, static_cast<std::uint32_t>(payloadSize));
        cabformat::StoreU16(record + 6, static_cast<std::uint32_t>(block.size()));
        // The sum covers the payload, then the fields after csum up to the payload.
        const std::uint32_t dataSum = cabformat::Checksum(payload, payloadSize, 0);
        cabformat::StoreU32(record, cabformat::Checksum(record + 4, payloadAt - 4, dataSum));
        out.size += payloadAt + payloadSize;
        out.payloads.push_back(static_cast<std::uint32_t>(payloadSize));
    }
}

} // namespace ostrivane::cabinet
