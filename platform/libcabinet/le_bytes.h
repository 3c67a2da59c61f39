// Little-endian field writers for the cabinet's records.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrivane::cabinet {

inline void putU8(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
}

inline void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
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

inline void storeU16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void storeU32(std::uint8_t* at, std::uint32_t value) {
    storeU16(at, value & 0xFFFF);
    storeU16(at + 2, value >> 16);
}

} // namespace ostrivane::cabinet
