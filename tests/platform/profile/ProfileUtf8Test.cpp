// A settings file that an editor saved as UTF-8: read as UTF-8, written back in Windows-1250.
#include "platform/profile/PrivateProfile.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

namespace ostrivane::profile {
namespace {

using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::WriteFile;

// "[Nastavení]", "; Poznámka", "Automatická záloha=1" in UTF-8 and in Windows-1250.
constexpr char kUtf8[] = "[Nastaven\xC3\xAD]\r\n; Pozn\xC3\xA1mka\r\n"
                         "Automatick\xC3\xA1 z\xC3\xA1loha=1\r\n";
constexpr char kWindows1250[] = "[Nastaven\xED]\r\n; Pozn\xE1mka\r\nAutomatick\xE1 z\xE1loha=1\r\n";

class ProfileUtf8 : public ::testing::Test {
protected:
    std::string Path() const { return folder_ / "Ostrivane.ini"; }
    Scratch folder_;
};

TEST_F(ProfileUtf8, AUtf8FileIsReadAsUtf8AndSavedInWindows1250) {
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        WriteFile(Path(), mark + kUtf8);
        PrivateProfile ini(Path());
        EXPECT_EQ(ini.GetInt("Nastavení", "Automatická záloha", 0), 1) << mark.size();
        ASSERT_TRUE(ini.WriteString("Nastavení", "Podadresáře", "0"));
        EXPECT_EQ(ini.UnstorableLine(), std::nullopt);
        ASSERT_TRUE(ini.Flush());
        EXPECT_EQ(ReadFile(Path()), kWindows1250 + std::string("Podadres\xE1\xF8") + "e=0\r\n")
            << "the mark is dropped and every line is stored in Windows-1250";
    }
}

TEST_F(ProfileUtf8, WindowsTextThatIsNoUtf8StaysWindows1250) {
    // Windows-1250 "Čeština": 0xC8 would open a two-byte UTF-8 sequence, but "e" follows.
    WriteFile(Path(), "[S]\r\nk=\xC8"
                      "e\x9A"
                      "tina\r\n");
    EXPECT_EQ(PrivateProfile(Path()).GetString("S", "k", "-"), "Čeština");
}

TEST_F(ProfileUtf8, ALineThatWindows1250CannotHoldIsNeverWrittenGarbled) {
    const std::string file = std::string(kUtf8) + "; \xE6\x97\xA5\xE6\x9C\xAC\r\n"; // "; 日本"
    WriteFile(Path(), file);
    PrivateProfile ini(Path());
    EXPECT_EQ(ini.GetInt("Nastavení", "Automatická záloha", 0), 1);
    ASSERT_TRUE(ini.WriteString("Nastavení", "Automatická záloha", "0"));
    EXPECT_EQ(ini.UnstorableLine(), "; 日本");
    EXPECT_FALSE(ini.Flush());
    EXPECT_EQ(ReadFile(Path()), file);
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "Ostrivane.ini");
}

} // namespace
} // namespace ostrivane::profile
