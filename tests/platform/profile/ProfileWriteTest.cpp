// Writing values: the bytes on disk, the places of new keys and sections, and what is kept.
#include "platform/profile/PrivateProfile.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

namespace ostrivane::profile {
namespace {

using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::WriteFile;

class ProfileWrite : public ::testing::Test {
protected:
    std::string Path() const { return folder_ / "Ostrivane.ini"; }
    // The file after `edit` ran on a profile of `before` and was flushed.
    template <typename Edit> std::string Rewrite(const std::string& before, Edit edit) {
        WriteFile(Path(), before);
        PrivateProfile ini(Path());
        edit(ini);
        EXPECT_TRUE(ini.Flush());
        return ReadFile(Path());
    }
    Scratch folder_;
};

TEST_F(ProfileWrite, ANewFileHoldsWindowsBytes) {
    PrivateProfile ini(Path());
    ASSERT_TRUE(ini.WriteString("Nastavení", "Adresář zálohy", "C:\\Dokumenty"));
    ASSERT_TRUE(ini.WriteString("Nastavení", "Pondělí čas", "12:00"));
    ASSERT_TRUE(ini.WriteString("Archivace", "Přípona 0", "*.*"));
    ASSERT_TRUE(ini.Flush());
    EXPECT_EQ(ReadFile(Path()), "[Nastaven\xED]\r\nAdres\xE1\xF8 z\xE1lohy=C:\\Dokumenty\r\n"
                                "Pond\xECl\xED \xE8"
                                "as=12:00\r\n[Archivace]\r\nP\xF8\xEDpona 0=*.*\r\n");
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "Ostrivane.ini") << "no temporary file is left";
}

TEST_F(ProfileWrite, AnExistingKeyKeepsItsLineAndSpelling) {
    const std::string after =
        Rewrite("[S]\r\n  KEY  =  old  \r\nnext=1\r\n",
                [](PrivateProfile& ini) { ini.WriteString("s", "key", "new"); });
    EXPECT_EQ(after, "[S]\r\nKEY=new\r\nnext=1\r\n");
}

TEST_F(ProfileWrite, UnknownKeysCommentsAndOrderAreKept) {
    const std::string before = "; written by hand\r\n[Nastaven\xED]\r\nzz=unknown\r\n"
                               "Soubor z\xE1lohy=a.zip\r\n; note\r\nplain line\r\naa=also\r\n"
                               "\r\n[Other]\r\nx=1\n";
    const std::string after = Rewrite(before, [](PrivateProfile& ini) {
        ini.WriteString("Nastavení", "Soubor zálohy", "b.zip");
        ini.WriteString("Nastavení", "Hloubka zálohy", "10");
    });
    EXPECT_EQ(after, "; written by hand\r\n[Nastaven\xED]\r\nzz=unknown\r\n"
                     "Soubor z\xE1lohy=b.zip\r\n; note\r\nplain line\r\naa=also\r\n"
                     "Hloubka z\xE1lohy=10\r\n\r\n[Other]\r\nx=1\r\n");
}

TEST_F(ProfileWrite, NewKeysGoAfterTheLastKeyOfTheirSection) {
    const std::string after =
        Rewrite("[A]\r\na=1\r\n; about B\r\n\r\n[B]\r\n\r\n[Empty]\r\n; only a comment\r\n\r\n",
                [](PrivateProfile& ini) {
                    ini.WriteString("A", "b", "2");
                    ini.WriteString("A", "c", "3");
                    ini.WriteString("B", "x", "y");
                    ini.WriteString("Empty", "e", "f");
                    ini.WriteString("New", "n", "1");
                });
    EXPECT_EQ(after, "[A]\r\na=1\r\nb=2\r\nc=3\r\n; about B\r\n\r\n[B]\r\nx=y\r\n\r\n"
                     "[Empty]\r\n; only a comment\r\ne=f\r\n\r\n[New]\r\nn=1\r\n");
}

TEST_F(ProfileWrite, ErasedSectionsAreRewrittenAtTheEnd) {
    const std::string before = "[Archivace]\r\nAdres\xE1\xF8 0=a\r\nAdres\xE1\xF8 4=e\r\nold=1\r\n"
                               "[Nastaven\xED]\r\nk=v\r\n[ARCHIVACE]\r\ndup=1\r\n";
    const std::string after = Rewrite(before, [](PrivateProfile& ini) {
        ini.EraseSection("archivace");
        EXPECT_EQ(ini.GetString("Archivace", "Adresář 0", "gone"), "gone");
        ini.WriteString("Archivace", "Adresář 0", "x");
        ini.WriteString("Archivace", "Přípona 0", "*.txt");
    });
    EXPECT_EQ(after, "[Nastaven\xED]\r\nk=v\r\n[Archivace]\r\nAdres\xE1\xF8 0=x\r\n"
                     "P\xF8\xEDpona 0=*.txt\r\n");
}

TEST_F(ProfileWrite, ErasingTheOnlySectionLeavesNoSection) {
    const std::string after = Rewrite("[Archivace]\r\na=1\r\n",
                                      [](PrivateProfile& ini) { ini.EraseSection("Archivace"); });
    EXPECT_EQ(after, "");
}

TEST_F(ProfileWrite, ValuesThatWouldLoseBlanksOrQuotesAreQuoted) {
    const std::string values[] = {" lead", "trail\t", "\"q\"", "'s'", "\"", "a\"b\"", "", "x"};
    PrivateProfile writer(Path());
    for (std::size_t i = 0; i < std::size(values); ++i)
        ASSERT_TRUE(writer.WriteString("S", "k" + std::to_string(i), values[i]));
    ASSERT_TRUE(writer.Flush());
    EXPECT_EQ(ReadFile(Path()), "[S]\r\nk0=\" lead\"\r\nk1=\"trail\t\"\r\nk2=\"\"q\"\"\r\n"
                                "k3=\"'s'\"\r\nk4=\"\r\nk5=a\"b\"\r\nk6=\r\nk7=x\r\n");
    const PrivateProfile reader(Path());
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(reader.GetString("S", "k" + std::to_string(i), "-"), values[i]);
}

TEST_F(ProfileWrite, UnrepresentableOrMalformedTextsChangeNothing) {
    const std::string before = "[S]\r\nk=old\r\n";
    WriteFile(Path(), before);
    PrivateProfile ini(Path());
    EXPECT_FALSE(ini.WriteString("S", "k", "mañana"));
    EXPECT_FALSE(ini.WriteString("S", "ключ", "v"));
    EXPECT_FALSE(ini.WriteString("Секция", "k", "v"));
    EXPECT_FALSE(ini.WriteString("S", "k", "two\r\nlines"));
    EXPECT_FALSE(ini.WriteString("S", "k", "lf\nonly"));
    EXPECT_FALSE(ini.WriteString("S", "a=b", "v"));
    EXPECT_FALSE(ini.WriteString("S", "[k", "v"));
    EXPECT_FALSE(ini.WriteString("S", ";k", "v"));
    EXPECT_FALSE(ini.WriteString("S", "  ", "v"));
    EXPECT_FALSE(ini.WriteString("S]", "k", "v"));
    EXPECT_FALSE(ini.WriteString("S", "k", std::string("nul\0byte", 8)));
    EXPECT_EQ(ini.GetString("S", "k", "-"), "old");
    EXPECT_TRUE(ini.Flush());
    EXPECT_EQ(ReadFile(Path()), before);
    EXPECT_FALSE(PrivateProfile::IsRepresentable("mañana"));
    EXPECT_FALSE(PrivateProfile::IsRepresentable("folder\nname"));
    EXPECT_TRUE(PrivateProfile::IsRepresentable("Adresář zálohy"));
}

TEST_F(ProfileWrite, BlanksAroundNamesAreDropped) {
    const std::string after = Rewrite("", [](PrivateProfile& ini) {
        ASSERT_TRUE(ini.WriteString(" S\t", "  k ", "v"));
        ASSERT_TRUE(ini.WriteString("s", "K", "w"));
    });
    EXPECT_EQ(after, "[S]\r\nk=w\r\n");
}

TEST_F(ProfileWrite, UndefinedBytesSurviveALoadAndSave) {
    const std::string before = "[S]\r\nodd=\x81\x83\x88\x90\x98\r\nk=1\r\n";
    const std::string after =
        Rewrite(before, [](PrivateProfile& ini) { ini.WriteString("S", "k", "2"); });
    EXPECT_EQ(after, "[S]\r\nodd=\x81\x83\x88\x90\x98\r\nk=2\r\n");
}

TEST_F(ProfileWrite, LfLinesAreWrittenWithCrLf) {
    const std::string after =
        Rewrite("[S]\na=1\nb=2", [](PrivateProfile& ini) { ini.WriteString("S", "c", "3"); });
    EXPECT_EQ(after, "[S]\r\na=1\r\nb=2\r\nc=3\r\n");
}

TEST_F(ProfileWrite, FlushWithoutChangesWritesNothing) {
    PrivateProfile ini(Path());
    EXPECT_EQ(ini.GetString("S", "k", "-"), "-");
    ini.EraseSection("S");
    EXPECT_TRUE(ini.Flush());
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "");
}

TEST_F(ProfileWrite, TenThousandPairsRoundTrip) {
    {
        PrivateProfile ini(Path());
        for (int i = 0; i < 10000; ++i) {
            ASSERT_TRUE(ini.WriteString("Archivace", "Adresář " + std::to_string(i),
                                        "/data/složka " + std::to_string(i)));
            ASSERT_TRUE(ini.WriteString("Archivace", "Přípona " + std::to_string(i), "*.č"));
        }
        ASSERT_TRUE(ini.Flush());
    }
    const PrivateProfile ini(Path());
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(ini.GetString("ARCHIVACE", "adresář " + std::to_string(i), "-"),
                  "/data/složka " + std::to_string(i));
        ASSERT_EQ(ini.GetString("Archivace", "Přípona " + std::to_string(i), "-"), "*.č");
    }
    EXPECT_EQ(ini.GetString("Archivace", "Adresář 10000", "-"), "-");
    const std::string bytes = ReadFile(Path());
    EXPECT_TRUE(bytes.starts_with("[Archivace]\r\nAdres\xE1\xF8 0=/data/slo\x9Eka 0\r\n"
                                  "P\xF8\xEDpona 0=*.\xE8\r\nAdres\xE1\xF8 1="));
    EXPECT_TRUE(bytes.ends_with("\r\nP\xF8\xEDpona 9999=*.\xE8\r\n"));
}

} // namespace
} // namespace ostrivane::profile
