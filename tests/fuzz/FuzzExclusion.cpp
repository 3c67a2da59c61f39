// Exclusion patterns against a slow matcher written straight from the rules: plain recursion,
// memoised, over the pattern's parts and the path's parts ("**" any number of whole parts, a
// trailing "**" at least one), and inside one part over the characters ("*" any run, "?" one
// UTF-8 character, "[...]" one character of a set, "\" the next character as it is).
//
// Input: the pattern, a NUL byte, the path (no empty parts; other paths are not asked about);
// the path is a folder when the input's length is odd.
#include "ReferenceMatcher.h"

#include "archive/scan/ExclusionPatterns.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// One character of a name or a pattern: a whole UTF-8 sequence (strictly formed), or one byte.
std::size_t CharLength(std::string_view text, std::size_t at) {
    const auto b = static_cast<unsigned char>(text[at]);
    std::size_t length = b < 0x80                 ? 1
                         : b >= 0xC2 && b <= 0xDF ? 2
                         : b >= 0xE0 && b <= 0xEF ? 3
                         : b >= 0xF0 && b <= 0xF4 ? 4
                                                  : 1;
    if (at + length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 1;
    }
    const auto c1 = static_cast<unsigned char>(length > 1 ? text[at + 1] : 0);
    // Overlong forms, surrogates and values past U+10FFFF are single bytes.
    if ((b == 0xE0 && c1 < 0xA0) || (b == 0xED && c1 >= 0xA0) || (b == 0xF0 && c1 < 0x90) ||
        (b == 0xF4 && c1 >= 0x90))
        return 1;
    return length;
}

// A character as a number that orders them as their code points do (a stray byte above all).
std::uint32_t CharValue(std::string_view text, std::size_t at, std::size_t length) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (length == 1)
        return b < 0x80 ? b : 0x110000u + b;
    std::uint32_t value = b & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i)
        value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return value;
}

// One part of a pattern against one part of a path, over the characters.
class GlobReference : public ReferenceMatcher<GlobReference> {
public:
    using ReferenceMatcher::ReferenceMatcher;

    bool Step(std::size_t g, std::size_t n) {
        if (pattern_[g] == '*')
            return Match(g + 1, n) || (n < text_.size() && Match(g, n + CharLength(text_, n)));
        if (n == text_.size())
            return false;
        const std::size_t length = CharLength(text_, n);
        const std::uint32_t c = CharValue(text_, n, length);
        if (pattern_[g] == '?')
            return Match(g + 1, n + length);
        if (pattern_[g] == '[') {
            std::size_t end = 0;
            const int taken = InSet(g + 1, c, end);
            if (taken >= 0)
                return taken == 1 && Match(end, n + length);
            return c == '[' && Match(g + 1, n + 1);
        }
        std::size_t at = pattern_[g] == '\\' && g + 1 < pattern_.size() ? g + 1 : g;
        const std::size_t literal = CharLength(pattern_, at);
        return CharValue(pattern_, at, literal) == c && Match(at + literal, n + length);
    }

private:
    // 1 or 0 for a set that takes `c` or not (`end` past its "]"); -1 when no "]" closes it.
    int InSet(std::size_t at, std::uint32_t c, std::size_t& end) {
        bool negated = false;
        if (at < pattern_.size() && (pattern_[at] == '!' || pattern_[at] == '^')) {
            negated = true;
            ++at;
        }
        bool found = false;
        for (bool first = true; at < pattern_.size() && (pattern_[at] != ']' || first);
             first = false) {
            if (pattern_[at] == '\\' && at + 1 < pattern_.size())
                ++at;
            std::size_t length = CharLength(pattern_, at);
            const std::uint32_t low = CharValue(pattern_, at, length);
            at += length;
            std::uint32_t high = low;
            if (at + 1 < pattern_.size() && pattern_[at] == '-' && pattern_[at + 1] != ']') {
                ++at;
                if (pattern_[at] == '\\' && at + 1 < pattern_.size())
                    ++at;
                length = CharLength(pattern_, at);
                high = CharValue(pattern_, at, length);
                at += length;
            }
            found = found || (low <= c && c <= high);
        }
        if (at >= pattern_.size())
            return -1;
        end = at + 1;
        return found != negated ? 1 : 0;
    }
};

std::vector<std::string_view> Parts(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t slash = text.find('/', start);
        if (slash == std::string_view::npos)
            slash = text.size();
        if (slash > start)
            parts.push_back(text.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// The pattern's parts ("**" kept as such) against the path's.
class PathReference : public ReferenceMatcher<PathReference, std::vector<std::string_view>> {
public:
    using ReferenceMatcher::ReferenceMatcher;

    bool Step(std::size_t w, std::size_t p) {
        if (pattern_[w] == "**") {
            // A "**" at the end takes at least one part.
            if (w + 1 == pattern_.size() && w > 0)
                return p < text_.size();
            return Match(w + 1, p) || (p < text_.size() && Match(w, p + 1));
        }
        return p < text_.size() && GlobReference(pattern_[w], text_[p]).Match(0, 0) &&
               Match(w + 1, p + 1);
    }
};

// Nothing when the pattern is empty, a comment or only slashes; else whether it excludes.
int Reference(std::string_view pattern, std::string_view path, bool folder) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!pattern.empty() && blank(pattern.front()))
        pattern.remove_prefix(1);
    while (!pattern.empty() && blank(pattern.back())) {
        std::size_t slashes = 0;
        while (slashes + 1 < pattern.size() && pattern[pattern.size() - 2 - slashes] == '\\')
            ++slashes;
        if (slashes % 2 == 1)
            break;
        pattern.remove_suffix(1);
    }
    if (pattern.empty() || pattern.front() == '#')
        return -1;
    const bool negated = pattern.front() == '!';
    if (negated)
        pattern.remove_prefix(1);
    bool folderOnly = false;
    while (!pattern.empty() && pattern.back() == '/') {
        folderOnly = true;
        pattern.remove_suffix(1);
    }
    std::vector<std::string_view> want = Parts(pattern);
    if (want.empty())
        return -1;
    if (pattern.find('/') == std::string_view::npos)
        want.insert(want.begin(), "**");
    if (folderOnly && !folder)
        return 0;
    return PathReference(want, Parts(path)).Match(0, 0) ? !negated : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    if (nul == std::string_view::npos)
        return 0;
    const std::string_view pattern = input.substr(0, nul);
    const std::string_view path = input.substr(nul + 1);
    if (path.empty() || path.front() == '/' || path.back() == '/' ||
        path.find("//") != std::string_view::npos || path.find('\0') != std::string_view::npos)
        return 0;
    const bool folder = size % 2 == 1;
    const ostrivane::scan::ExclusionPatterns patterns({std::string(pattern)});
    const int expected = Reference(pattern, path, folder);
    if (patterns.Empty() != (expected < 0) || patterns.Excludes(path, folder) != (expected == 1)) {
        std::fprintf(stderr, "fuzz check failed: pattern \"%.*s\" path \"%.*s\" folder %d: %d\n",
                     static_cast<int>(pattern.size()), pattern.data(),
                     static_cast<int>(path.size()), path.data(), folder, expected);
        std::abort();
    }
    return 0;
}
