// A settings file as the program writes it on Windows (CRLF, Windows-1250), byte for byte.
#include "platform/profile/PrivateProfile.h"
#include "tests/support/Scratch.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace ostrivane::profile {
namespace {

using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::WriteFile;

const std::string kFixture = OSTRIVANE_SOURCE_DIR "/tests/fixtures/Ostrivane-windows.ini";

// The keys of the settings section in the order the program writes them, with the fixture's
// values.
const std::vector<std::pair<std::string, std::string>> kSettings = {
    {"Adresář zálohy", "D:\\Zálohy\\Účetnictví"},
    {"Soubor zálohy", "Týdenní záloha.cab"},
    {"Hloubka zálohy", "5"},
    {"Automatická záloha", "1"},
    {"Podadresáře", "1"},
    {"Pondělí", "1"},
    {"Pondělí čas", "8:30"},
    {"Úterý", "0"},
    {"Úterý čas", "12:00"},
    {"Středa", "1"},
    {"Středa čas", "17:45:30"},
    {"Čtvrtek", "0"},
    {"Čtvrtek čas", "12:00"},
    {"Pátek", "1"},
    {"Pátek čas", "23:59"},
    {"Sobota", "0"},
    {"Sobota čas", "12:00"},
    {"Neděle", "0"},
    {"Neděle čas", "6:05"},
    {"RadioGroup název souboru", "1"},
};

const std::vector<std::pair<std::string, std::string>> kSources = {
    {"C:\\Dokumenty\\Smlouvy", "*.doc"},
    {"D:\\Fotky\\Dovolená Šumava", "*.jpg"},
    {"E:\\Žluťoučký kůň", "*.*"},
};

// The source pairs as the program reads them: up to the first number with neither key.
std::vector<std::pair<std::string, std::string>> ReadSources(const PrivateProfile& ini) {
    std::vector<std::pair<std::string, std::string>> sources;
    for (int i = 0; i < 10000; ++i) {
        std::string folder = ini.GetString("Archivace", "Adresář " + std::to_string(i), "99999999");
        std::string mask =
            ini.GetString("Archivace", "Přípona " + std::to_string(i), "99999999.999");
        if (folder == "99999999" && mask == "99999999.999")
            break;
        sources.emplace_back(std::move(folder), std::move(mask));
    }
    return sources;
}

void WriteSources(PrivateProfile& ini,
                  const std::vector<std::pair<std::string, std::string>>& sources) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
        EXPECT_TRUE(ini.WriteString("Archivace", "Adresář " + std::to_string(i), sources[i].first));
        EXPECT_TRUE(
            ini.WriteString("Archivace", "Přípona " + std::to_string(i), sources[i].second));
    }
}

void ExpectFixtureValues(const PrivateProfile& ini) {
    for (const auto& [key, value] : kSettings)
        EXPECT_EQ(ini.GetString("Nastavení", key, "missing"), value) << key;
    EXPECT_EQ(ini.GetInt("Nastavení", "Hloubka zálohy", -1), 5);
    EXPECT_NE(ini.GetInt("Nastavení", "Automatická záloha", 0), 0);
    EXPECT_EQ(ini.GetInt("Nastavení", "Úterý", 1), 0);
    EXPECT_EQ(ini.GetInt("Nastavení", "RadioGroup název souboru", 0), 1);
    EXPECT_EQ(ReadSources(ini), kSources);
}

TEST(WindowsFixture, EveryValueIsRead) {
    const PrivateProfile ini(kFixture);
    ExpectFixtureValues(ini);
}

TEST(WindowsFixture, LfLinesWithoutAFinalLineEndReadTheSame) {
    std::string bytes = ReadFile(kFixture);
    std::string lf;
    for (const char c : bytes)
        if (c != '\r')
            lf.push_back(c);
    lf.pop_back();
    Scratch folder;
    WriteFile(folder / "Ostrivane.ini", lf);
    ExpectFixtureValues(PrivateProfile(folder / "Ostrivane.ini"));
}

TEST(WindowsFixture, SavingTheSameSettingsReproducesTheFile) {
    Scratch folder;
    const std::string path = folder / "Ostrivane.ini";
    std::filesystem::copy_file(kFixture, path);
    {
        PrivateProfile ini(path);
        // The program's save: settings key by key, then the source list erased and rewritten.
        for (const auto& [key, value] : kSettings)
            ASSERT_TRUE(ini.WriteString("Nastavení", key, ini.GetString("Nastavení", key, "")));
        const auto sources = ReadSources(ini);
        ini.EraseSection("Archivace");
        WriteSources(ini, sources);
        ASSERT_TRUE(ini.Flush());
    }
    EXPECT_EQ(ReadFile(path), ReadFile(kFixture));
}

TEST(WindowsFixture, ASavedFileReadsBackAsTheFixture) {
    Scratch folder;
    const std::string path = folder / "Ostrivane.ini";
    {
        PrivateProfile ini(path);
        for (const auto& [key, value] : kSettings)
            ASSERT_TRUE(ini.WriteString("Nastavení", key, value));
        WriteSources(ini, kSources);
        ASSERT_TRUE(ini.Flush());
    }
    EXPECT_EQ(ReadFile(path), ReadFile(kFixture)) << "a fresh file has Windows' bytes";
}

} // namespace
} // namespace ostrivane::profile
