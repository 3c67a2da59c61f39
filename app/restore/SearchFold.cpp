#include "app/restore/SearchFold.h"

#include "platform/profile/CaseFold.h"
#include "platform/profile/Utf8.h"

#include <algorithm>

namespace ostrivane::restore {

namespace {

// The letter without its accent, lower case, for U+00C0 .. U+017F; "." keeps the character
// (Æ, ×, ß, Œ, ...).
constexpr std::string_view kLatin1 = "aaaaaa.ceeeeiiiidnooooo.ouuuuy.."  // U+00C0
                                     "aaaaaa.ceeeeiiiidnooooo.ouuuuy.y"; // U+00E0
constexpr std::string_view kExtendedA = "aaaaaaccccccccdd"               // U+0100
                                        "ddeeeeeeeeeegggg"               // U+0110
                                        "gggghhhhiiiiiiii"               // U+0120
                                        "ii..jjkk.lllllll"               // U+0130
                                        "lllnnnnnnnnnoooo"               // U+0140
                                        "oo..rrrrrrssssss"               // U+0150
                                        "ssttttttuuuuuuuu"               // U+0160
                                        "uuuuwwyyyzzzzzzs";              // U+0170
static_assert(kLatin1.size() == 0x40 && kExtendedA.size() == 0x80);

char BaseLetter(char32_t cp) {
    if (cp >= 0xC0 && cp < 0x100)
        return kLatin1[cp - 0xC0];
    if (cp >= 0x100 && cp < 0x180)
        return kExtendedA[cp - 0x100];
    return '.';
}

bool CombiningAccent(char32_t cp) {
    return cp >= 0x300 && cp <= 0x36F;
}

} // namespace

void AppendSearchFolded(std::string& out, std::string_view text) {
    unsigned char high = 0;
    for (const char c : text)
        high |= static_cast<unsigned char>(c);
    if ((high & 0x80) == 0) {
        // Plain ASCII, most of every name: one pass the compiler turns into vector code.
        const std::size_t at = out.size();
        out.resize(at + text.size());
        std::transform(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
        return;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte));
            ++pos;
            continue;
        }
        const std::optional<char32_t> cp = profile::NextCodePoint(text, pos);
        if (!cp) {
            out.push_back(static_cast<char>(byte));
            ++pos;
            continue;
        }
        const char32_t folded = profile::FoldCodePoint(*cp);
        if (CombiningAccent(folded))
            continue;
        const char base = BaseLetter(folded);
        if (base != '.')
            out.push_back(base);
        else
            profile::AppendUtf8(out, folded);
    }
}

std::string SearchFolded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendSearchFolded(out, text);
    return out;
}

} // namespace ostrivane::restore
