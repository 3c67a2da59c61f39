#include "platform/profile/CaseFold.h"

#include "platform/profile/Utf8.h"

namespace ostrivane::profile {

char32_t FoldCodePoint(char32_t cp) {
    if (cp >= U'A' && cp <= U'Z')
        return cp + 0x20;
    if (cp < 0xC0)
        return cp;
    // Latin-1: À..Þ except the multiplication sign.
    if (cp <= 0xDE)
        return cp == 0xD7 ? cp : cp + 0x20;
    // Latin Extended-A: capitals at even code points, except the two runs where they sit at
    // odd ones (Ĺ..Ň and Ź..Ž). U+0130 (İ) and U+0178 (Ÿ) are special.
    if (cp == 0x0178)
        return 0xFF;
    if (cp == 0x0130)
        return U'i';
    if ((cp >= 0x0100 && cp <= 0x0137) || (cp >= 0x014A && cp <= 0x0177))
        return (cp % 2 == 0) ? cp + 1 : cp;
    if ((cp >= 0x0139 && cp <= 0x0148) || (cp >= 0x0179 && cp <= 0x017E))
        return (cp % 2 == 1) ? cp + 1 : cp;
    return cp;
}

std::string FoldCase(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x80) {
            if (const auto cp = NextCodePoint(text, pos)) {
                AppendUtf8(folded, FoldCodePoint(*cp));
                continue;
            }
        }
        // ASCII, most of every name, folded at once; a malformed byte kept as it is.
        folded.push_back(static_cast<char>(byte < 0x80 ? FoldCodePoint(byte) : byte));
        ++pos;
    }
    return folded;
}

} // namespace ostrivane::profile
