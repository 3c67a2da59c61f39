// Wildcard semantics of the FileSpec and ExcludeSpec masks.
#include "archive/scan/TInternalMask.h"

#include <gtest/gtest.h>

TEST(InternalMask, StarDotSelectsNamesWithoutExtension) {
    EXPECT_TRUE(MaskMatches("*.", "README"));
    EXPECT_FALSE(MaskMatches("*.", "README.txt"));
    EXPECT_TRUE(MaskMatches("*.", "trailing."));
}

TEST(InternalMask, QuestionMarkIsExactlyOneCharacterWithoutCase) {
    EXPECT_TRUE(MaskMatches("a?c", "abc"));
    EXPECT_TRUE(MaskMatches("a?c", "ABC"));
    EXPECT_FALSE(MaskMatches("a?c", "ac"));
    EXPECT_FALSE(MaskMatches("a?c", "abbc"));
}

TEST(InternalMask, StarQuestionBehavesAsStar) {
    for (const char* name : {"", "x", "long.name.txt"}) {
        EXPECT_EQ(MaskMatches("*?", name), MaskMatches("*", name)) << name;
        EXPECT_TRUE(MaskMatches("*?", name)) << name;
    }
}

TEST(InternalMask, StarDotStarNeedsADotButStarDoesNot) {
    EXPECT_FALSE(MaskMatches("*.*", "Makefile"));
    EXPECT_TRUE(MaskMatches("*.*", "a.b"));
    EXPECT_TRUE(MaskMatches("*", "Makefile"));
}

TEST(InternalMask, BacktracksOverSeveralStars) {
    EXPECT_TRUE(MaskMatches("*a*b", "xaxb"));
    EXPECT_TRUE(MaskMatches("*a*b", "aab"));
    EXPECT_FALSE(MaskMatches("*a*b", "aabx"));
    EXPECT_TRUE(MaskMatches("*.txt", "a.txt.txt"));
    EXPECT_TRUE(MaskMatches("*/*.tmp", "Dokumenty/a/b.tmp"));
    EXPECT_FALSE(MaskMatches("a*", "ba"));
}

TEST(InternalMask, OnlyAsciiLettersFoldAndBracketsAreLiteral) {
    EXPECT_TRUE(MaskMatches("[ab].TXT", "[ab].txt"));
    EXPECT_FALSE(MaskMatches("[ab].txt", "a.txt"));
    // "é" and "É" differ in their UTF-8 bytes beyond ASCII: no folding.
    EXPECT_FALSE(MaskMatches("\xC3\xA9.txt", "\xC3\x89.txt"));
    EXPECT_TRUE(MaskMatches("\xC3\xA9.txt", "\xC3\xA9.TXT"));
}

TEST(InternalMask, EmptyMaskMatchesOnlyTheEmptyName) {
    EXPECT_TRUE(MaskMatches("", ""));
    EXPECT_FALSE(MaskMatches("", "a"));
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
