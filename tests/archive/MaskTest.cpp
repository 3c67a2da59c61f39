// Wildcard semantics of the FileSpec and ExcludeSpec masks.
#include "archive/scan/TInternalMask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Match {
    const char* mask;
    const char* name;
    bool matches;
};

// A rule of the masks with the names it is tried on.
struct MaskRule {
    const char* name;
    std::vector<Match> matches;
};

class InternalMaskRule : public ::testing::TestWithParam<MaskRule> {};

TEST_P(InternalMaskRule, MatchesExactlyTheNamesItShould) {
    for (const Match& m : GetParam().matches)
        EXPECT_EQ(MaskMatches(m.mask, m.name), m.matches) << m.mask << " on " << m.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, InternalMaskRule,
    ::testing::Values(
        MaskRule{"StarDotSelectsNamesWithoutExtension",
                 {{"*.", "README", true}, {"*.", "README.txt", false}, {"*.", "trailing.", true}}},
        MaskRule{"QuestionMarkIsExactlyOneCharacterWithoutCase",
                 {{"a?c", "abc", true},
                  {"a?c", "ABC", true},
                  {"a?c", "ac", false},
                  {"a?c", "abbc", false}}},
        MaskRule{"StarQuestionBehavesAsStar",
                 {{"*?", "", true},
                  {"*", "", true},
                  {"*?", "x", true},
                  {"*", "x", true},
                  {"*?", "long.name.txt", true},
                  {"*", "long.name.txt", true}}},
        MaskRule{"StarDotStarNeedsADotButStarDoesNot",
                 {{"*.*", "Makefile", false}, {"*.*", "a.b", true}, {"*", "Makefile", true}}},
        MaskRule{"BacktracksOverSeveralStars",
                 {{"*a*b", "xaxb", true},
                  {"*a*b", "aab", true},
                  {"*a*b", "aabx", false},
                  {"*.txt", "a.txt.txt", true},
                  {"*/*.tmp", "Dokumenty/a/b.tmp", true},
                  {"a*", "ba", false}}},
        // "é" and "É" differ in their UTF-8 bytes beyond ASCII: no folding.
        MaskRule{"OnlyAsciiLettersFoldAndBracketsAreLiteral",
                 {{"[ab].TXT", "[ab].txt", true},
                  {"[ab].txt", "a.txt", false},
                  {"\xC3\xA9.txt", "\xC3\x89.txt", false},
                  {"\xC3\xA9.txt", "\xC3\xA9.TXT", true}}},
        MaskRule{"EmptyMaskMatchesOnlyTheEmptyName", {{"", "", true}, {"", "a", false}}}),
    [](const ::testing::TestParamInfo<MaskRule>& info) { return std::string(info.param.name); });

} // namespace

TEST(InternalMask, CompiledItemsEndWithNul) {
    TInternalMask mask("*?b.");
    const auto& items = mask.Items();
    ASSERT_EQ(items.size(), 3u); // "?" after "*" dropped; 'B', '.', NUL
    EXPECT_TRUE(items[0].StarBefore);
    EXPECT_EQ(items[0].Ch, 'B');
    EXPECT_EQ(items.back().Ch, '\0');
    EXPECT_TRUE(mask.EndsWithDot());
}

TEST(MaskCollection, AnyItemMatches) {
    TMaskCollection set;
    set.Add("*.doc");
    set.Add("*.txt");
    EXPECT_TRUE(set.Matches("a.TXT"));
    EXPECT_FALSE(set.Matches("a.pdf"));
}
