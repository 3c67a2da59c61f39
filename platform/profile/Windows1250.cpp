#include "platform/profile/Windows1250.h"

#include "platform/profile/Utf8.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <stdexcept>
#include <utility>

namespace ostrivane::profile {

namespace {

// Owns one iconv conversion descriptor.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " +
                                     to);
    }
    ~IconvHandle() { iconv_close(handle_); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    // The single code point that `byte` converts to, or nothing when the converter rejects it.
    std::optional<char32_t> ConvertByte(unsigned char byte) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr); // reset the shift state
        char in = static_cast<char>(byte);
        char* inPtr = &in;
        std::size_t inLeft = 1;
        std::array<unsigned char, 16> out{};
        char* outPtr = reinterpret_cast<char*>(out.data());
        std::size_t outLeft = out.size();
        if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        if (out.size() - outLeft != 4)
            return std::nullopt;
        return static_cast<char32_t>(out[0]) | static_cast<char32_t>(out[1]) << 8 |
               static_cast<char32_t>(out[2]) << 16 | static_cast<char32_t>(out[3]) << 24;
    }

private:
    iconv_t handle_;
};

struct CodePage {
    std::array<char32_t, 256> toUnicode{};
    // The upper half sorted by code point, for encoding.
    std::array<std::pair<char32_t, unsigned char>, 128> fromUnicode{};
};

CodePage BuildCodePage() {
    CodePage page;
    IconvHandle converter("UTF-32LE", "WINDOWS-1250");
    for (unsigned value = 0; value < 256; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        page.toUnicode[value] = converter.ConvertByte(byte).value_or(static_cast<char32_t>(value));
        if (value >= 128)
            page.fromUnicode[value - 128] = {page.toUnicode[value], byte};
    }
    std::sort(page.fromUnicode.begin(), page.fromUnicode.end());
    const auto duplicate =
        std::adjacent_find(page.fromUnicode.begin(), page.fromUnicode.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; });
    if (duplicate != page.fromUnicode.end())
        throw std::runtime_error("the Windows-1250 table maps two bytes to one character");
    return page;
}

const CodePage& Page() {
    static const CodePage page = BuildCodePage();
    return page;
}

std::optional<unsigned char> EncodeCodePoint(const CodePage& page, char32_t cp) {
    if (cp < 0x80)
        return static_cast<unsigned char>(cp);
    const auto it = std::lower_bound(page.fromUnicode.begin(), page.fromUnicode.end(),
                                     std::pair<char32_t, unsigned char>{cp, 0});
    if (it == page.fromUnicode.end() || it->first != cp)
        return std::nullopt;
    return it->second;
}

} // namespace

std::string DecodeWindows1250(std::string_view bytes) {
    const CodePage& page = Page();
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            text.push_back(c);
        else
            AppendUtf8(text, page.toUnicode[byte]);
    }
    return text;
}

std::optional<std::string> EncodeWindows1250(std::string_view text) {
    const CodePage& page = Page();
    std::string bytes;
    bytes.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            bytes.push_back(text[pos++]);
            continue;
        }
        const auto cp = NextCodePoint(text, pos);
        if (!cp)
            return std::nullopt;
        const auto encoded = EncodeCodePoint(page, *cp);
        if (!encoded)
            return std::nullopt;
        bytes.push_back(static_cast<char>(*encoded));
    }
    return bytes;
}

bool IsWindows1250Representable(std::string_view text) {
    return EncodeWindows1250(text).has_value();
}

} // namespace ostrivane::profile
