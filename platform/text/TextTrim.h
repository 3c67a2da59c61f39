// Texts taken from input fields and from lists of sources are trimmed of leading and trailing
// blanks and control characters (every character up to U+0020), the way the program has always
// read its fields. On UTF-8 text that is every byte up to 0x20: no byte of a longer character
// is that small.
#pragma once

#include <string_view>

namespace ostrivane::text {

inline std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace ostrivane::text
