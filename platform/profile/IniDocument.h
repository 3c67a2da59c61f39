// The text of an INI file as lines, with an index of its sections and keys, so that lookups and
// writes cost the same at the 20 000th key as at the first.
//
// Parsing, as Windows' private-profile routines read a file:
// - a line whose first non-blank character is "[" opens a section; its name is the text up to
//   "]" (or to the end of the line), without the blanks around it;
// - inside a section, a line holding "=" sets the key before the first "=" to the text after
//   it, both without the blanks (spaces and tabs) around them; a value enclosed in a matching
//   pair of double or single quotes is read without them;
// - lines whose first non-blank character is ";", lines without "=", blank lines and lines
//   before the first section set nothing; every line is written back as it was read;
// - sections and keys are found without regard to case; the first occurrence of a section, and
//   of a key within it, wins.
// Text is UTF-8 in and out; the file's line ends are not part of the lines (CRLF written).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ostrivane::profile {

// Spaces and tabs around `text` removed.
std::string_view TrimBlanks(std::string_view text);

class IniDocument {
public:
    // A document of the lines of `text`, split at LF with a CR before it dropped. A last line
    // without a line end is kept.
    explicit IniDocument(std::string_view text = {});

    // The value of `key` in `section` (without surrounding blanks and quotes), nothing when
    // either is missing.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // Sets `key` in `section` to the value text `stored` as it is to stand after "=" in the file.
    // An existing key keeps its line and its spelling; a new key goes after the last key line of
    // its section (before blank lines and other text that follow), a new section at the end of
    // the document. `section` and `key` must be valid names (no line ends, no "]" in a section,
    // no "=" in a key, blanks around them already removed).
    void Set(std::string_view section, std::string_view key, std::string_view stored);

    // Removes every section named `section` with all its lines; true when one was found.
    bool EraseSection(std::string_view section);

    // The document as text, every line ended by CRLF.
    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::size_t equals = std::string::npos; // position of the "=" of a key line
    };
    struct Section {
        bool hasHeader = false; // false for the lines before the first section
        std::string header;     // the "[name]" line as read or made
        std::string foldedName;
        std::vector<Line> lines;                           // the lines after the header
        std::unordered_map<std::string, std::size_t> keys; // folded key -> line, first wins
        std::size_t afterLastKey = 0;                      // index after the last key line
        bool hasKeys = false;
    };

    void AddLine(Section& section, std::string text);
    Section* FindSection(std::string_view section);
    const Section* FindSection(std::string_view section) const;
    void RebuildSectionIndex();

    std::vector<Section> sections_; // [0] holds the lines before the first section
    std::unordered_map<std::string, std::size_t> sectionIndex_; // folded name -> first section
};

} // namespace ostrivane::profile
