// Compiled wildcard masks against a slow matcher written straight from the rules: "*" any run,
// "?" exactly one character, ASCII letters compared without case (every other byte exactly),
// "?" right after a "*" (with only "*" and "?" between) dropped, a mask ending in "." matching a
// name without "." as that name with "." appended, no character classes.
//
// Input: the mask, a NUL byte, the name (which may hold further NUL bytes; the mask cannot,
// as a mask text ends at its first NUL wherever it comes from).
#include "ReferenceMatcher.h"

#include "archive/scan/TInternalMask.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

char Fold(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// The mask with the dropped question marks taken out.
std::string Normalised(std::string_view mask) {
    std::string out;
    bool starSeen = false; // a "*" since the last literal character
    for (char c : mask) {
        if (c == '*') {
            starSeen = true;
            out += c;
        } else if (c == '?') {
            if (!starSeen)
                out += c;
        } else {
            starSeen = false;
            out += c;
        }
    }
    return out;
}

// The mask is the pattern, the name the text.
class SlowMatcher : public ReferenceMatcher<SlowMatcher> {
public:
    using ReferenceMatcher::ReferenceMatcher;

    bool Step(std::size_t m, std::size_t n) {
        if (pattern_[m] == '*')
            return Match(m + 1, n) || (n < text_.size() && Match(m, n + 1));
        if (pattern_[m] == '?')
            return n < text_.size() && Match(m + 1, n + 1);
        return n < text_.size() && Fold(pattern_[m]) == Fold(text_[n]) && Match(m + 1, n + 1);
    }
};

bool Reference(std::string_view mask, std::string_view name) {
    std::string subject(name);
    if (!mask.empty() && mask.back() == '.' && name.find('.') == std::string_view::npos)
        subject += '.';
    const std::string normal = Normalised(mask);
    return SlowMatcher(normal, subject).Match(0, 0);
}

[[noreturn]] void Fail(const char* what, std::string_view mask, std::string_view name) {
    std::fprintf(stderr, "fuzz check failed: %s: mask \"%.*s\" name \"%.*s\"\n", what,
                 static_cast<int>(mask.size()), mask.data(), static_cast<int>(name.size()),
                 name.data());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view mask = input.substr(0, nul);
    const std::string_view name =
        nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

    const TInternalMask compiled(mask);
    const bool expected = Reference(mask, name);
    if (compiled.Matches(name) != expected)
        Fail(expected ? "no match where the rules match" : "match where the rules do not", mask,
             name);
    if (MaskMatches(mask, name) != expected)
        Fail("MaskMatches differs from the compiled mask", mask, name);
    // The compiled form: one item per literal and kept "?", ending with a NUL literal.
    const auto& items = compiled.Items();
    if (items.empty() || items.back().AnyChar || items.back().Ch != '\0')
        Fail("compiled mask does not end with a NUL item", mask, name);
    if (compiled.EndsWithDot() != (!mask.empty() && mask.back() == '.'))
        Fail("ends-with-dot flag", mask, name);

    // A mask set of the mask and its name taken as a second mask matches when either does.
    TMaskCollection set;
    set.Add(mask);
    const std::string second(name.substr(0, name.find('\0')));
    set.Add(second);
    if (set.Matches(name) != (expected || Reference(second, name)))
        Fail("mask set differs from its items", mask, name);
    return 0;
}
