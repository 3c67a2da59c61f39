// Compilation and matching of wildcard masks.
#include "archive/scan/TInternalMask.h"

namespace {

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

TInternalMask::TInternalMask(std::string_view mask) {
    bool star = false;
    for (char c : mask) {
        if (c == '*') {
            star = true;
        } else if (c == '?') {
            if (!star) // "*?" behaves as "*"
                items_.push_back(Item{false, true, '\0'});
        } else {
            items_.push_back(Item{star, false, UpperAscii(c)});
            star = false;
        }
    }
    items_.push_back(Item{star, false, '\0'});
    endsWithDot_ = !mask.empty() && mask.back() == '.';
}

bool TInternalMask::Matches(std::string_view name) const {
    if (endsWithDot_ && name.find('.') == std::string_view::npos) {
        std::string dotted(name);
        dotted += '.';
        return MatchFrom(0, dotted, 0);
    }
    return MatchFrom(0, name, 0);
}

// Left-to-right match with backtracking to the most recent star: a later star supersedes an
// earlier one, which keeps the work linear in the name for each star.
bool TInternalMask::MatchFrom(std::size_t item, std::string_view name, std::size_t pos) const {
    std::size_t starItem = std::string_view::npos;
    std::size_t starPos = 0;
    bool starPending = false; // the star of items_[item] has not been taken yet
    if (item < items_.size())
        starPending = items_[item].StarBefore;
    for (;;) {
        const Item& it = items_[item];
        if (starPending) {
            if (!it.AnyChar && it.Ch == '\0')
                return true; // a trailing star matches any rest
            starItem = item;
            starPos = pos;
            starPending = false;
        }
        bool ok;
        if (!it.AnyChar && it.Ch == '\0') {
            if (pos == name.size())
                return true;
            ok = false;
        } else if (pos < name.size() && (it.AnyChar || UpperAscii(name[pos]) == it.Ch)) {
            ok = true;
        } else {
            ok = false;
        }
        if (ok) {
            ++item;
            ++pos;
            starPending = items_[item].StarBefore;
            continue;
        }
        if (starItem == std::string_view::npos || starPos >= name.size())
            return false;
        item = starItem;
        pos = ++starPos;
        starPending = false;
    }
}

bool MaskMatches(std::string_view mask, std::string_view text) {
    return TInternalMask(mask).Matches(text);
}

bool TMaskCollection::Matches(std::string_view name) const {
    for (const TMultiMask& m : items_)
        if (m.Mask().Matches(name))
            return true;
    return false;
}
