// Deterministic test data: the same bytes for the same arguments on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testsupport {

// Bytes that compress poorly.
std::string RandomBytes(std::size_t size, std::uint32_t seed);
// Text of Czech and English words that compresses well.
std::string CompressibleText(std::size_t size, std::uint32_t seed = 7);

} // namespace testsupport
