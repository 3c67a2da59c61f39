// What the slow reference matchers of the fuzzers share: plain recursion over the positions in a
// pattern and in a text, memoised on both so that many stars stay cheap. A pattern that has ended
// matches only a text that has ended too; anywhere else `Derived::Step(at, textAt)` says whether
// the pattern from `at` matches the text from `textAt`, calling Match for what follows. A
// `Sequence` is a string (of characters) or a vector (of a path's parts).
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

template <class Derived, class Sequence = std::string_view> class ReferenceMatcher {
public:
    ReferenceMatcher(Sequence pattern, Sequence text)
        : pattern_(std::move(pattern)), text_(std::move(text)),
          known_((pattern_.size() + 1) * (text_.size() + 1), 0) {}

    bool Match(std::size_t at, std::size_t textAt) {
        char& known = known_[at * (text_.size() + 1) + textAt];
        if (known == 0) {
            const bool matches = at == pattern_.size()
                                     ? textAt == text_.size()
                                     : static_cast<Derived*>(this)->Step(at, textAt);
            known = matches ? 1 : 2;
        }
        return known == 1;
    }

protected:
    const Sequence pattern_;
    const Sequence text_;

private:
    std::vector<char> known_; // 0 not known yet, 1 matches, 2 does not
};
