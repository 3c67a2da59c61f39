// Exclusion patterns of a backup in the style of .gitignore files, matched against the path of a
// file or folder relative to its source folder ("/" between the parts, no leading "/"):
//
//   *.iso               a name anywhere: no "/" but a trailing one means any depth
//   node_modules/       a trailing "/": folders only (a file of that name stays in)
//   /Dokumenty/Velké/   a "/" at the start or inside anchors the pattern at the source folder
//   **/build/, a/**/b   "**" as a whole part: any number of folders (none included)
//   Fotky/**            everything inside Fotky (not the folder itself)
//   !keep.iso           "!" takes back what an earlier pattern excluded
//
// Inside one part "*" is any run of characters but "/", "?" one character (a whole UTF-8
// character), "[abc]", "[a-z]", "[!0-9]" or "[^0-9]" one character of a set; "\" takes the next
// character literally ("\*", "\!", "\#", "\ "). Letters are compared exactly, as the file system
// compares them. Blanks around a pattern are ignored, as are empty patterns and those beginning
// with "#". The last pattern that matches decides; a folder excluded is never entered, so nothing
// below it can be taken back.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivane::scan {

class ExclusionPatterns {
public:
    ExclusionPatterns() = default;
    explicit ExclusionPatterns(const std::vector<std::string>& lines);

    // True when no pattern can exclude anything.
    bool Empty() const { return patterns_.empty(); }

    // Whether the file or folder at `path` (relative to its source folder) is left out.
    bool Excludes(std::string_view path, bool folder) const;

private:
    struct Part {
        bool AnyDepth = false; // "**": any number of whole parts
        std::string Glob;      // otherwise one part's pattern
    };
    struct Pattern {
        bool Negated = false;
        bool FolderOnly = false;
        bool NameOnly = false; // no "/": the last part alone is matched, against Parts[0]
        std::vector<Part> Parts;
    };

    static bool Matches(const Pattern& pattern, std::string_view path);

    std::vector<Pattern> patterns_;
};

// Whether one part of a path (no "/") matches `glob` ("*", "?", "[...]", "\").
bool GlobMatches(std::string_view glob, std::string_view name);

// What the window offers to add at one click: caches, trash and thumbnails a program makes again.
inline constexpr std::array<std::string_view, 6> kSuggestedExclusions = {
    ".cache/",   ".thumbnails/",  "**/.local/share/Trash/",
    ".Trash-*/", "node_modules/", "__pycache__/",
};

} // namespace ostrivane::scan
