// The Windows-1250 conversion of the settings file's text.
#include "platform/profile/Windows1250.h"

#include <gtest/gtest.h>

namespace ostrivane::profile {
namespace {

constexpr char kCzechLetters[] = "áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ";
constexpr char kCzechBytes[] = "\xE1\xE8\xEF\xE9\xEC\xED\xF2\xF3\xF8\x9A\x9D\xFA\xF9\xFD\x9E"
                               "\xC1\xC8\xCF\xC9\xCC\xCD\xD2\xD3\xD8\x8A\x8D\xDA\xD9\xDD\x8E";

TEST(Windows1250, EveryCzechLetterHasItsCodePageByte) {
    EXPECT_EQ(EncodeWindows1250(kCzechLetters), kCzechBytes);
    EXPECT_EQ(DecodeWindows1250(kCzechBytes), kCzechLetters);
}

TEST(Windows1250, OtherCharactersOfTheCodePage) {
    EXPECT_EQ(EncodeWindows1250("€ „“ – ß ŁłĄąŐőŰű §"),
              "\x80 \x84\x93 \x96 \xDF \xA3\xB3\xA5\xB9\xD5\xF5\xDB\xFB \xA7");
    EXPECT_EQ(DecodeWindows1250("\xA0"), "\u00A0");
}

TEST(Windows1250, EveryByteSurvivesADecodeAndEncode) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string text = DecodeWindows1250(all);
    EXPECT_EQ(EncodeWindows1250(text), all);
}

TEST(Windows1250, UndefinedBytesBecomeC1Controls) {
    EXPECT_EQ(DecodeWindows1250("\x81\x83\x88\x90\x98"), "\u0081\u0083\u0088\u0090\u0098");
    EXPECT_EQ(EncodeWindows1250("\u0081\u0098"), "\x81\x98");
}

TEST(Windows1250, TextsOutsideTheCodePageAreRefused) {
    EXPECT_FALSE(IsWindows1250Representable("mañana"));       // ñ is not in the code page
    EXPECT_FALSE(IsWindows1250Representable("Привет"));       // Cyrillic
    EXPECT_FALSE(IsWindows1250Representable("zip 😀"));        // beyond the BMP
    EXPECT_FALSE(IsWindows1250Representable("\u0080"));       // a C1 control 0x80 does not encode
    EXPECT_FALSE(IsWindows1250Representable("a\xC3"));        // cut UTF-8 sequence
    EXPECT_FALSE(IsWindows1250Representable("\xC0\xAF"));     // overlong form of "/"
    EXPECT_FALSE(IsWindows1250Representable("\xED\xA0\x80")); // a surrogate
    EXPECT_TRUE(IsWindows1250Representable("Záloha.zip"));
    EXPECT_TRUE(IsWindows1250Representable(""));
}

} // namespace
} // namespace ostrivane::profile
