// Little-endian appenders that build the cabinet's records in a byte vector.
#pragma once

#include "platform/cabformat/CabinetFormat.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrivane::cabinet {

inline void putU8(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
}

inline void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.resize(out.size() + 2);
    cabformat::StoreU16(out.data() + out.size() - 2, value);
}

inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    cabformat::StoreU32(out.data() + out.size() - 4, value);
}

inline void putBytes(std::vector<std::uint8_t>& out, const void* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + count);
    std::memcpy(out.data() + at, bytes, count);
}

inline void putZeros(std::vector<std::uint8_t>& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

} // namespace ostrivane::cabinet
