// The settings record through real files: a file of the Windows version loaded and saved byte for
// byte, the defaults where the file says nothing, what a save keeps of a file, and a save that
// cannot be made.
#include "platform/profile/Windows1250.h"
#include "settings/SettingsStore.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace ostrivane::settings {
namespace {

using testsupport::ReadFile;
using testsupport::Scratch;

const std::string kFixture = OSTRIVANE_SOURCE_DIR "/tests/fixtures/Ostrivane-windows.ini";

// UTF-8 lines as the program writes them: Windows-1250, CRLF.
std::string FileBytes(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return profile::EncodeWindows1250(text).value();
}

TEST(SettingsRecord, AFileOfTheWindowsVersionIsLoadedAndSavedByteForByte) {
    Scratch folder;
    const std::string path = folder / "Ostrivane.ini";
    std::filesystem::copy_file(kFixture, path);
    const LoadedSettings loaded = LoadSettings(path);
    ASSERT_FALSE(loaded.Missing || loaded.Unreadable);
    const SettingsRecord& s = loaded.Record;
    EXPECT_EQ(s.Destination, "D:\\Zálohy\\Účetnictví");
    EXPECT_EQ(s.ArchiveName, "Týdenní záloha.cab");
    EXPECT_EQ(s.Depth, "5");
    EXPECT_TRUE(s.Automatic && s.Subfolders);
    EXPECT_EQ(s.DayTicked, (std::array<bool, 7>{true, false, true, false, true, false, false}));
    EXPECT_EQ(s.DayTime, (std::array<std::string, 7>{"8:30", "12:00", "17:45:30", "12:00", "23:59",
                                                     "12:00", "6:05"}));
    EXPECT_EQ(s.Naming, 1);
    EXPECT_TRUE(s.CatchUp) << "the Windows version has no such key";
    EXPECT_FALSE(s.RunOnBattery);
    EXPECT_EQ(s.Sources, (std::vector<SourcePair>{{"C:\\Dokumenty\\Smlouvy", "*.doc"},
                                                  {"D:\\Fotky\\Dovolená Šumava", "*.jpg"},
                                                  {"E:\\Žluťoučký kůň", "*.*"}}));

    // Saved again, the file keeps every byte and gains the keys it lacked, in their place.
    ASSERT_EQ(SaveSettings(path, s).Result, SaveResult::Saved);
    std::string expected = ReadFile(kFixture);
    const std::string naming = FileBytes({"RadioGroup název souboru=1"});
    expected.insert(expected.find(naming) + naming.size(),
                    FileBytes({"Dodatečná záloha=1", "Záloha na baterii=0"}));
    EXPECT_EQ(ReadFile(path), expected);
    ASSERT_EQ(SaveSettings(path, LoadSettings(path).Record).Result, SaveResult::Saved);
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(SettingsRecord, WhatTheFileDoesNotSayTakesTheDefault) {
    Scratch folder;
    ::setenv("HOME", folder.Path().c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    const LoadedSettings none = LoadSettings(folder / "none.ini");
    EXPECT_TRUE(none.Missing);
    EXPECT_FALSE(none.Unreadable);
    SettingsRecord defaults;
    defaults.Destination = folder / "Documents";
    defaults.ArchiveName = "Záloha.zip";
    defaults.Depth = "10";
    defaults.DayTime.fill("12:00");
    defaults.CatchUp = true;
    EXPECT_EQ(none.Record, defaults);

    // Booleans and integers that hold no integer take the default too.
    testsupport::WriteFile(
        folder / "odd.ini",
        FileBytes({"[Nastavení]", "Podadresáře=ano", "Pátek=0x1", "RadioGroup název souboru=druhý",
                   "Dodatečná záloha=0", "Záloha na baterii=1", "[Archivace]", "Přípona 0=*.txt"}));
    const SettingsRecord odd = LoadSettings(folder / "odd.ini").Record;
    EXPECT_FALSE(odd.Subfolders);
    EXPECT_TRUE(odd.DayTicked[4]);
    EXPECT_EQ(odd.Naming, 0);
    EXPECT_FALSE(odd.CatchUp);
    EXPECT_TRUE(odd.RunOnBattery);
    EXPECT_EQ(odd.Sources, (std::vector<SourcePair>{{"99999999", "*.txt"}}));

    EXPECT_TRUE(LoadSettings(folder.Path()).Unreadable) << "a folder in the file's place";
}

TEST(SettingsRecord, ASaveKeepsWhatTheFileHoldsBesidesTheRecord) {
    Scratch folder;
    const std::string path = folder / "Ostrivane.ini";
    testsupport::WriteFile(path,
                           FileBytes({"; ruční poznámka", "[Nastavení]", "Barva=modrá",
                                      "Soubor zálohy=stará.cab", "[Archivace]", "Adresář 0=/a",
                                      "Přípona 0=*.*", "Poznámka=pryč", "[Jiné]", "klíč=1"}));
    SettingsRecord record = LoadSettings(path).Record;
    record.ArchiveName = "  nová.cab ";
    record.Sources.push_back({" /b ", "*.txt"});
    ASSERT_EQ(SaveSettings(path, record).Result, SaveResult::Saved);
    const std::string saved = ReadFile(path);
    EXPECT_EQ(saved.find(FileBytes({"; ruční poznámka", "[Nastavení]", "Barva=modrá",
                                    "Soubor zálohy=nová.cab"}) +
                         *profile::EncodeWindows1250("Adresář zálohy=")),
              0u)
        << "texts are stored trimmed, unknown keys and comments stay where they were";
    EXPECT_NE(saved.find(FileBytes({"[Jiné]", "klíč=1"})), std::string::npos);
    EXPECT_NE(saved.find(FileBytes({"Adresář 1=\" /b \"", "Přípona 1=*.txt"})), std::string::npos)
        << "sources are stored as they are held, blanks kept by quotes";
    EXPECT_EQ(saved.find("Pozn"), std::string::npos) << "a list's section is written anew";
}

TEST(SettingsRecord, ASaveThatCannotBeMadeWritesNothing) {
    Scratch folder;
    const std::string path = folder / "Ostrivane.ini";
    const std::string before = FileBytes({"[Nastavení]", "Soubor zálohy=stará.cab"});
    testsupport::WriteFile(path, before);
    SettingsRecord record = LoadSettings(path).Record;
    record.ArchiveName = " zálohy-日本.cab ";
    EXPECT_EQ(SaveSettings(path, record).Text, "zálohy-日本.cab");
    record.ArchiveName = "nová.cab";
    record.Sources = {{"/data/ελληνικά", "*.*"}};
    const SaveOutcome source = SaveSettings(path, record);
    EXPECT_EQ(source.Result, SaveResult::Unstorable);
    EXPECT_EQ(source.Text, "/data/ελληνικά");
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_FALSE(IsStorable("ελληνικά"));
    EXPECT_TRUE(IsStorable("Žluťoučký kůň"));

    // The file's folder cannot be made: a file stands in its way.
    EXPECT_EQ(SaveSettings(path + "/Ostrivane.ini", {}).Result, SaveResult::NotWritten);
    EXPECT_EQ(ReadFile(path), before);
    // Saved where the folders are still missing, they are made for this user alone.
    record.Sources.clear();
    ASSERT_EQ(SaveSettings(folder / "a/b/Ostrivane.ini", record).Result, SaveResult::Saved);
    EXPECT_EQ(std::filesystem::status(folder / "a/b").permissions(),
              std::filesystem::perms::owner_all);
}

// The exclusion patterns: read in their order up to the first gap, written back in
// Windows-1250 as the section "Vyloučení" anew, never a pattern the encoding cannot hold.
TEST(SettingsRecord, ExclusionPatternsGoThereAndBack) {
    Scratch folder;
    const std::string path = folder / "Ostrivane.ini";
    testsupport::WriteFile(
        path, FileBytes({"[Vyloučení]", "Vzor 0=node_modules/", "Vzor 1=/Dokumenty/Velké/",
                         "vzor 2=*.iso", "Vzor 4=po mezeře", "Jiný=pryč"}));
    SettingsRecord record = LoadSettings(path).Record;
    EXPECT_EQ(PatternTexts(record.Exclusions),
              (std::vector<std::string>{"node_modules/", "/Dokumenty/Velké/", "*.iso"}));

    record.Exclusions = {{"**/.local/share/Trash/"}, {"Fotky/Čerstvé/**"}};
    ASSERT_EQ(SaveSettings(path, record).Result, SaveResult::Saved);
    const std::string saved = ReadFile(path);
    EXPECT_NE(saved.find(FileBytes(
                  {"[Vyloučení]", "Vzor 0=**/.local/share/Trash/", "Vzor 1=Fotky/Čerstvé/**"})),
              std::string::npos);
    EXPECT_EQ(saved.find("Vzor 2"), std::string::npos) << "the section is written anew";
    EXPECT_EQ(saved.find("Jin"), std::string::npos);
    EXPECT_EQ(LoadSettings(path).Record, record);

    record.Exclusions.push_back({"Ελλάδα/"});
    const SaveOutcome refused = SaveSettings(path, record);
    EXPECT_EQ(refused.Result, SaveResult::Unstorable);
    EXPECT_EQ(refused.Text, "Ελλάδα/");
    EXPECT_EQ(ReadFile(path), saved);
}

} // namespace
} // namespace ostrivane::settings
