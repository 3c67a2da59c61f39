#include "platform/cabformat/CabChecksum.h"

#include "platform/cabformat/CabinetFormat.h"

#include <bit>
#include <cstring>

namespace ostrivane::cabformat {
std::uint32_t Checksum(const std::uint8_t* bytes, std::size_t count, std::uint32_t seed) {
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
        sum ^= LoadU32(bytes + i);
    }
    std::uint32_t tail = 0;
    for (; i < count; ++i) {
        tail = (tail << 8) | bytes[i];
    }
    return sum ^ tail;
}

} // namespace ostrivane::cabformat
