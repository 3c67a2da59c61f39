// Wildcard semantics of the FileSpec and ExcludeSpec masks.
#include "archive/scan/TInternalMask.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// Expects `mask` to match every name of `matching` and none of `other`.
void ExpectMask(const char* mask, std::initializer_list<const char*> matching,
                std::initializer_list<const char*> other = {}) {
    for (const char* name : matching)
        EXPECT_TRUE(MaskMatches(mask, name)) << mask << " on " << name;
    for (const char* name : other)
        EXPECT_FALSE(MaskMatches(mask, name)) << mask << " on " << name;
}

} // namespace

TEST(InternalMask, StarDotSelectsNamesWithoutExtension) {
    ExpectMask("*.", {"README", "trailing."}, {"README.txt"});
}

TEST(InternalMask, QuestionMarkIsExactlyOneCharacterWithoutCase) {
    ExpectMask("a?c", {"abc", "ABC"}, {"ac", "abbc"});
}

TEST(InternalMask, StarQuestionBehavesAsStar) {
    for (const char* mask : {"*?", "*"})
        ExpectMask(mask, {"", "x", "long.name.txt"});
}

TEST(InternalMask, StarDotStarNeedsADotButStarDoesNot) {
    ExpectMask("*.*", {"a.b"}, {"Makefile"});
    ExpectMask("*", {"Makefile"});
}

TEST(InternalMask, BacktracksOverSeveralStars) {
    ExpectMask("*a*b", {"xaxb", "aab"}, {"aabx"});
    ExpectMask("*.txt", {"a.txt.txt"});
    ExpectMask("*/*.tmp", {"Dokumenty/a/b.tmp"});
    ExpectMask("a*", {}, {"ba"});
}

TEST(InternalMask, OnlyAsciiLettersFoldAndBracketsAreLiteral) {
    ExpectMask("[ab].TXT", {"[ab].txt"});
    ExpectMask("[ab].txt", {}, {"a.txt"});
    // "é" and "É" differ in their UTF-8 bytes beyond ASCII: no folding.
    ExpectMask("\xC3\xA9.txt", {"\xC3\xA9.TXT"}, {"\xC3\x89.txt"});
}

TEST(InternalMask, EmptyMaskMatchesOnlyTheEmptyName) {
    ExpectMask("", {""}, {"a"});
}

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
