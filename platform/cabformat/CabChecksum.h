// The 32-bit checksum of a CFDATA block: the bytes are folded as little-endian 32-bit words with
// exclusive or; a tail of one to three bytes is packed most-significant first into one word.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrivane::cabformat {

std::uint32_t Checksum(const std::uint8_t* bytes, std::size_t count, std::uint32_t seed);

} // namespace ostrivane::cabformat
