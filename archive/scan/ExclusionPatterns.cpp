#include "archive/scan/ExclusionPatterns.h"

#include "platform/profile/Utf8.h"

#include <cstdint>

namespace ostrivane::scan {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool Blank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// The pattern without the blanks around it; a blank after "\" stays.
std::string_view TrimPattern(std::string_view text) {
    while (!text.empty() && Blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && Blank(text.back())) {
        std::size_t slashes = 0;
        for (std::size_t i = text.size() - 1; i > 0 && text[i - 1] == '\\'; --i)
            ++slashes;
        if (slashes % 2 == 1)
            break;
        text.remove_suffix(1);
    }
    return text;
}

// The character at `pos` of `text` and its length in bytes: a whole UTF-8 character, or a byte
// that begins none as a value of its own (above every character).
char32_t CharAt(std::string_view text, std::size_t pos, std::size_t& length) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    length = 1;
    if (byte < 0x80)
        return byte;
    std::size_t next = pos;
    if (const auto cp = profile::NextCodePoint(text, next)) {
        length = next - pos;
        return *cp;
    }
    return 0x110000u + byte;
}

// Whether the set that begins at `glob[pos]` (just after "[") takes `c`; `end` is set past its
// "]". False with `end` = kNone when no "]" closes it (the "[" is then an ordinary character).
bool InSet(std::string_view glob, std::size_t pos, char32_t c, std::size_t& end) {
    bool negated = false;
    if (pos < glob.size() && (glob[pos] == '!' || glob[pos] == '^')) {
        negated = true;
        ++pos;
    }
    bool found = false;
    bool first = true;
    while (pos < glob.size() && (glob[pos] != ']' || first)) {
        first = false;
        if (glob[pos] == '\\' && pos + 1 < glob.size())
            ++pos;
        std::size_t length = 0;
        const char32_t low = CharAt(glob, pos, length);
        pos += length;
        char32_t high = low;
        if (pos + 1 < glob.size() && glob[pos] == '-' && glob[pos + 1] != ']') {
            ++pos;
            if (glob[pos] == '\\' && pos + 1 < glob.size())
                ++pos;
            high = CharAt(glob, pos, length);
            pos += length;
        }
        found = found || (low <= c && c <= high);
    }
    if (pos >= glob.size()) {
        end = kNone;
        return false;
    }
    end = pos + 1;
    return found != negated;
}

// The parts of `path` between its "/" separators (empty ones left out).
void SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
    parts.clear();
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == kNone)
            slash = path.size();
        if (slash > start)
            parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
}

} // namespace

bool GlobMatches(std::string_view glob, std::string_view name) {
    // Left to right; at a mismatch the last "*" takes one more character and the rest is tried
    // again from there (enough for "*": no earlier star ever needs to take more).
    std::size_t g = 0;
    std::size_t n = 0;
    std::size_t starGlob = kNone;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (g < glob.size()) {
            const char p = glob[g];
            if (p == '*') {
                while (g < glob.size() && glob[g] == '*')
                    ++g;
                starGlob = g;
                starName = n;
                continue;
            }
            std::size_t length = 0;
            const char32_t c = CharAt(name, n, length);
            if (p == '?') {
                ++g;
                n += length;
                continue;
            }
            if (p == '[') {
                std::size_t end = kNone;
                const bool taken = InSet(glob, g + 1, c, end);
                if (end != kNone) {
                    if (taken) {
                        g = end;
                        n += length;
                        continue;
                    }
                } else if (c == '[') {
                    ++g;
                    ++n;
                    continue;
                }
            } else {
                std::size_t at = g;
                if (p == '\\' && g + 1 < glob.size())
                    ++at;
                std::size_t patternLength = 0;
                const char32_t literal = CharAt(glob, at, patternLength);
                if (literal == c) {
                    g = at + patternLength;
                    n += length;
                    continue;
                }
            }
        }
        if (starGlob == kNone)
            return false;
        std::size_t length = 0;
        CharAt(name, starName, length);
        starName += length;
        n = starName;
        g = starGlob;
    }
    while (g < glob.size() && glob[g] == '*')
        ++g;
    return g == glob.size();
}

ExclusionPatterns::ExclusionPatterns(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::string_view text = TrimPattern(line);
        if (text.empty() || text.front() == '#')
            continue;
        Pattern pattern;
        if (text.front() == '!') {
            pattern.Negated = true;
            text.remove_prefix(1);
        }
        while (!text.empty() && text.back() == '/') {
            pattern.FolderOnly = true;
            text.remove_suffix(1);
        }
        if (text.empty())
            continue;
        const bool anchored = text.find('/') != kNone;
        std::vector<std::string_view> parts;
        SplitPath(text, parts);
        if (parts.empty())
            continue;
        if (!anchored && parts[0] != "**") {
            pattern.NameOnly = true;
            pattern.Parts.push_back({false, std::string(parts[0])});
        } else {
            if (!anchored)
                pattern.Parts.push_back({true, {}});
            for (const std::string_view part : parts) {
                // "**" twice in a row means no more than once.
                if (part == "**" && !pattern.Parts.empty() && pattern.Parts.back().AnyDepth)
                    continue;
                pattern.Parts.push_back(
                    {part == "**", part == "**" ? std::string() : std::string(part)});
            }
            // A "**" at the end takes everything inside, at least one part more.
            if (pattern.Parts.back().AnyDepth)
                pattern.Parts.insert(pattern.Parts.end() - 1, Part{false, "*"});
        }
        patterns_.push_back(std::move(pattern));
    }
}

bool ExclusionPatterns::Matches(const Pattern& pattern, std::string_view path) {
    if (pattern.NameOnly) {
        const std::size_t slash = path.rfind('/');
        return GlobMatches(pattern.Parts[0].Glob, slash == kNone ? path : path.substr(slash + 1));
    }
    // Whole parts against the pattern's parts, "**" as a run of any parts: the same walk as a
    // "*" in GlobMatches, one level up.
    thread_local std::vector<std::string_view> parts;
    SplitPath(path, parts);
    const std::vector<Part>& want = pattern.Parts;
    std::size_t w = 0;
    std::size_t p = 0;
    std::size_t starWant = kNone;
    std::size_t starPart = 0;
    while (p < parts.size()) {
        if (w < want.size() && want[w].AnyDepth) {
            starWant = ++w;
            starPart = p;
            continue;
        }
        if (w < want.size() && GlobMatches(want[w].Glob, parts[p])) {
            ++w;
            ++p;
            continue;
        }
        if (starWant == kNone)
            return false;
        p = ++starPart;
        w = starWant;
    }
    while (w < want.size() && want[w].AnyDepth)
        ++w;
    return w == want.size();
}

bool ExclusionPatterns::Excludes(std::string_view path, bool folder) const {
    for (auto pattern = patterns_.rbegin(); pattern != patterns_.rend(); ++pattern) {
        if (pattern->FolderOnly && !folder)
            continue;
        if (Matches(*pattern, path))
            return !pattern->Negated;
    }
    return false;
}

} // namespace ostrivane::scan
