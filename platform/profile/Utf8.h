// Strict UTF-8 decoding and encoding of single code points, used by the Windows-1250 codec and by
// the case folding of section and key names.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ostrivane::profile {

// Decodes the code point that starts at `pos` and advances `pos` past it. Nothing for malformed
// input (overlong forms, surrogates, values above U+10FFFF, cut sequences); `pos` is then left
// unchanged.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& pos);

// True when all of `text` decodes with NextCodePoint (strict UTF-8).
bool IsValidUtf8(std::string_view text);

// Appends the UTF-8 form of `cp` (a valid scalar value) to `out`.
void AppendUtf8(std::string& out, char32_t cp);

// The number of code points in valid UTF-8 `text`.
std::size_t CountCodePoints(std::string_view text);

// The first `count` code points of valid UTF-8 `text`.
std::string_view FirstCodePoints(std::string_view text, std::size_t count);

} // namespace ostrivane::profile
