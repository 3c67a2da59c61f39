// Reading values from a settings file as Windows' private-profile routines read them.
#include "platform/profile/PrivateProfile.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <utility>

namespace ostrivane::profile {
namespace {

using testsupport::Scratch;
using testsupport::WriteFile;

class ProfileRead : public ::testing::Test {
protected:
    // A profile over a file holding `bytes` (Windows-1250).
    PrivateProfile Load(const std::string& bytes) {
        WriteFile(folder_ / "Ostrivane.ini", bytes);
        return PrivateProfile(folder_ / "Ostrivane.ini");
    }
    // Expects each key of `values` in `section` to read as its value ("-" when it is missing).
    static void ExpectValues(const PrivateProfile& ini, const std::string& section,
                             std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [key, value] : values)
            EXPECT_EQ(ini.GetString(section, key, "-"), value) << "[" << section << "] " << key;
    }
    Scratch folder_;
};

TEST_F(ProfileRead, SectionsAndKeysAreFoundWithoutRegardToCase) {
    const auto ini = Load("[Nastaven\xED]\r\nAdres\xE1\xF8 z\xE1lohy=D:\\Data\r\nKey=1\r\n"
                          "[\xC8\xCC\xD8\x8A\x8E\xDD\xC1\xCD\xC9\xDA\xD9\xD2\xCF\x8D]\r\nx=2\r\n");
    EXPECT_EQ(ini.GetString("NASTAVENÍ", "ADRESÁŘ ZÁLOHY", "-"), "D:\\Data");
    EXPECT_EQ(ini.GetString("nastavení", "adresář zálohy", "-"), "D:\\Data");
    EXPECT_EQ(ini.GetString("Nastavení", "KEY", "-"), "1");
    EXPECT_EQ(ini.GetString("čěřšžýáíéúůňďť", "X", "-"), "2");
    EXPECT_EQ(ini.GetString("Nastaveni", "Key", "-"), "-") << "í and i are different letters";
}

TEST_F(ProfileRead, TheFirstOccurrenceWins) {
    const auto ini = Load("[A]\r\nk=first\r\nK=second\r\n[a]\r\nk=third\r\nonly=here\r\n");
    EXPECT_EQ(ini.GetString("A", "k", "-"), "first");
    EXPECT_EQ(ini.GetString("a", "only", "-"), "-") << "the second [a] is shadowed";
}

TEST_F(ProfileRead, BlanksAndQuotesAroundValuesAreDropped) {
    const auto ini = Load("  [ S ]  \r\n\t key \t=  value with  inner blanks \t\r\n"
                          "dq=\"  quoted  \"\r\nsq=' single '\r\nmixed=\"a'\r\n"
                          "inner=a\"b\"\r\nlone=\"\r\nempty=\r\ntwo=\"\"\r\neq=a=b\r\n");
    ExpectValues(ini, "S",
                 {{"key", "value with  inner blanks"},
                  {"dq", "  quoted  "},
                  {"sq", " single "},
                  {"mixed", "\"a'"},
                  {"inner", "a\"b\""},
                  {"lone", "\""},
                  {"empty", ""},
                  {"two", ""},
                  {"eq", "a=b"}});
}

TEST_F(ProfileRead, CommentsLinesWithoutEqualsAndThePreambleSetNothing) {
    const auto ini = Load("before=0\r\n[S]\r\n;c=1\r\n  ; d=2\r\nplain\r\n[T\r\nt=3\r\n");
    EXPECT_EQ(ini.GetString("", "before", "-"), "-");
    ExpectValues(ini, "S", {{";c", "-"}, {"c", "-"}, {"plain", "-"}});
    EXPECT_EQ(ini.GetString("T", "t", "-"), "3") << "a header without ] runs to the line end";
}

TEST_F(ProfileRead, LfOnlyLinesAndAMissingFinalLineEndAreRead) {
    const auto ini = Load("[S]\na=1\r\nb=2\n\nc=3");
    ExpectValues(ini, "S", {{"a", "1"}, {"b", "2"}, {"c", "3"}});
}

TEST_F(ProfileRead, AUtf8FileWithAByteOrderMarkIsReadAsUtf8) {
    const auto ini = Load("\xEF\xBB\xBF[Nastaven\xC3\xAD]\r\nHloubka z\xC3\xA1lohy=3\r\n");
    EXPECT_EQ(ini.GetString("Nastavení", "Hloubka zálohy", "-"), "3");
}

TEST_F(ProfileRead, AMissingFileReadsAsEmpty) {
    const PrivateProfile ini(folder_ / "none.ini");
    EXPECT_EQ(ini.GetString("S", "k", "default"), "default");
    EXPECT_EQ(ini.GetInt("S", "k", 42), 42);
    EXPECT_EQ(ini.Path(), folder_ / "none.ini");
}

TEST_F(ProfileRead, TextsAreCutTo2047Characters) {
    std::string longValue;
    for (int i = 0; i < 3000; ++i)
        longValue += "\xE8"; // č, one byte on disk, two in UTF-8
    const auto ini = Load("[S]\r\nlong=" + longValue + "\r\n");
    const std::string read = ini.GetString("S", "long", "-");
    EXPECT_EQ(read.size(), 2 * kMaxValueChars);
    EXPECT_EQ(read.substr(0, 4), "čč");
    EXPECT_EQ(ini.GetString("S", "missing", std::string(3000, 'd')).size(), kMaxValueChars);
}

TEST_F(ProfileRead, TheDefaultLosesTrailingBlanks) {
    const auto ini = Load("");
    EXPECT_EQ(ini.GetString("S", "k", " 12:00  "), " 12:00");
}

TEST_F(ProfileRead, IntegersInDecimalAndHexadecimal) {
    const auto ini = Load("[N]\r\ndec=42\r\nneg=-17\r\nplus=+5\r\nhex=0x1F\r\nhexUpper=0XfF\r\n"
                          "dollar=$ff\r\nbare0x=0x\r\nbare0X=0X\r\nbareDollar=$\r\nbad=12a\r\n"
                          "badHex=0x1G\r\nmax=2147483647\r\nmin=-2147483648\r\n"
                          "over=2147483648\r\nunder=-2147483649\r\nallBits=0xFFFFFFFF\r\n"
                          "tooWide=0x100000000\r\nspaced= 7 \r\ninner=1 2\r\nsignHex=-0x10\r\n"
                          "quoted=\"9\"\r\nzero=0\r\nempty=\r\n");
    const auto get = [&](const char* key) { return ini.GetInt("N", key, -99); };
    EXPECT_EQ(get("dec"), 42);
    EXPECT_EQ(get("neg"), -17);
    EXPECT_EQ(get("plus"), 5);
    EXPECT_EQ(get("hex"), 31);
    EXPECT_EQ(get("hexUpper"), 255);
    EXPECT_EQ(get("dollar"), 255);
    EXPECT_EQ(get("bare0x"), -99);
    EXPECT_EQ(get("bare0X"), -99);
    EXPECT_EQ(get("bareDollar"), -99);
    EXPECT_EQ(get("bad"), -99);
    EXPECT_EQ(get("badHex"), -99);
    EXPECT_EQ(get("max"), 2147483647);
    EXPECT_EQ(get("min"), -2147483647 - 1);
    EXPECT_EQ(get("over"), -99);
    EXPECT_EQ(get("under"), -99);
    EXPECT_EQ(get("allBits"), -1);
    EXPECT_EQ(get("tooWide"), -99);
    EXPECT_EQ(get("spaced"), 7);
    EXPECT_EQ(get("inner"), -99);
    EXPECT_EQ(get("signHex"), -99);
    EXPECT_EQ(get("quoted"), 9);
    EXPECT_EQ(get("zero"), 0);
    EXPECT_EQ(get("empty"), -99);
    EXPECT_EQ(get("missing"), -99);
}

TEST_F(ProfileRead, BooleansAreIntegersOtherThanZero) {
    const auto ini = Load("[B]\r\nyes=1\r\nno=0\r\nother=7\r\nhex=0x0\r\nword=true\r\n");
    const auto flag = [&](const char* key) { return ini.GetInt("B", key, 0) != 0; };
    EXPECT_TRUE(flag("yes"));
    EXPECT_FALSE(flag("no"));
    EXPECT_TRUE(flag("other"));
    EXPECT_FALSE(flag("hex"));
    EXPECT_FALSE(flag("word")) << "a text that is no integer gives the default";
    EXPECT_FALSE(flag("missing"));
}

} // namespace
} // namespace ostrivane::profile
