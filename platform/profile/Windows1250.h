// The Windows-1250 code page (Central European), the 8-bit text of the settings file.
//
// The mapping is taken from the C library's iconv converter once, into a table of 256 entries.
// The five bytes the code page leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98) decode to the C1
// control characters of the same value (U+0081 ...), and those characters encode back to the
// same bytes, so that every byte decodes and a file that is loaded and saved keeps its bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrivane::profile {

// UTF-8 text of `bytes`; every byte maps to one character.
std::string DecodeWindows1250(std::string_view bytes);

// The Windows-1250 bytes of UTF-8 `text`; nothing when `text` is not valid UTF-8 or holds a
// character the code page cannot represent.
std::optional<std::string> EncodeWindows1250(std::string_view text);

// True when EncodeWindows1250 would succeed.
bool IsWindows1250Representable(std::string_view text);

} // namespace ostrivane::profile
