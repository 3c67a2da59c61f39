#include "platform/libcabinet/cab_checksum.h"

#include <bit>
#include <cstring>

namespace ostrivane::cabinet {
namespace {

std::uint32_t wordAt(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace

std::uint32_t cabChecksum(const std::uint8_t* bytes, std::size_t count, std::uint32_t seed) {
    std::uint32_t sum = seed;
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Two little-endian words at a time: exclusive or does not care how they are grouped.
        std::uint64_t pairs = 0;
        for (; i + 8 <= count; i += 8) {
            std::uint64_t pair = 0;
            std::memcpy(&pair, bytes + i, sizeof pair);
            pairs ^= pair;
        }
        sum ^= static_cast<std::uint32_t>(pairs) ^ static_cast<std::uint32_t>(pairs >> 32);
    }
    for (; i + 4 <= count; i += 4) {
        sum ^= wordAt(bytes + i);
    }
    std::uint32_t tail = 0;
    for (; i < count; ++i) {
        tail = (tail << 8) | bytes[i];
    }
    return sum ^ tail;
}

} // namespace ostrivane::cabinet
