// Reading a settings value as a 32-bit integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ostrivane::profile {

// The integer that `text` spells, the whole text and nothing else:
// - decimal digits with an optional "+" or "-", within -2147483648 .. 2147483647;
// - "0x" or "0X" followed by hexadecimal digits (the text longer than two characters);
// - "$" followed by hexadecimal digits.
// A hexadecimal number may use all 32 bits: 0x80000000 .. 0xFFFFFFFF are the negative numbers
// of the same bit pattern (0xFFFFFFFF is -1), as the 32-bit conversion of the settings' original
// readers gives. Anything else, a decimal number out of range or a hexadecimal one above
// 0xFFFFFFFF included, is no integer.
std::optional<std::int32_t> ParseProfileInt(std::string_view text);

} // namespace ostrivane::profile
