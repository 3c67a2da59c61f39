// Wildcard masks of file specifications and exclude lists: "*" any run of characters, "?" one
// character, letters compared with ASCII upper-casing, no character classes; a mask ending in
// "." also selects names without an extension.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TInternalMask {
public:
    explicit TInternalMask(std::string_view mask);

    bool Matches(std::string_view name) const;

    struct Item {
        bool StarBefore = false;
        bool AnyChar = false; // "?": exactly one character
        char Ch = '\0';       // literal, ASCII upper-cased; '\0' ends every mask
    };
    const std::vector<Item>& Items() const { return items_; }
    bool EndsWithDot() const { return endsWithDot_; }

private:
    bool MatchFrom(std::size_t item, std::string_view name, std::size_t pos) const;

    std::vector<Item> items_;
    bool endsWithDot_ = false;
};

// True when the mask text `mask` matches the text `text`.
bool MaskMatches(std::string_view mask, std::string_view text);

// One item of a mask set, owning its compiled mask.
class TMultiMask {
public:
    explicit TMultiMask(std::string_view mask) : mask_(std::make_unique<TInternalMask>(mask)) {}
    const TInternalMask& Mask() const { return *mask_; }

private:
    std::unique_ptr<TInternalMask> mask_;
};

// A mask set: matches when any of its items matches (items tried in order).
class TMaskCollection {
public:
    void Add(std::string_view mask) { items_.emplace_back(mask); }
    bool Matches(std::string_view name) const;
    int Count() const { return static_cast<int>(items_.size()); }
    const TMultiMask& Item(int i) const { return items_.at(i); }

private:
    std::vector<TMultiMask> items_;
};
