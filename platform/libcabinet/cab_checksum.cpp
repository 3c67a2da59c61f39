#include "platform/libcabinet/cab_checksum.h"

namespace ostrivane::cabinet {

std::uint32_t cabChecksum(const std::uint8_t* bytes, std::size_t count, std::uint32_t seed) {
    std::uint32_t sum = seed;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        sum ^= static_cast<std::uint32_t>(bytes[i]) |
               static_cast<std::uint32_t>(bytes[i + 1]) << 8 |
               static_cast<std::uint32_t>(bytes[i + 2]) << 16 |
               static_cast<std::uint32_t>(bytes[i + 3]) << 24;
    }
    std::uint32_t tail = 0;
    for (; i < count; ++i) {
        tail = (tail << 8) | bytes[i];
    }
    return sum ^ tail;
}

} // namespace ostrivane::cabinet
