// The front end's backups as cron or a systemd timer runs them: the backup a settings file
// describes, the window's messages when there is none or its input fails, a destination another
// copy is backing up into, an archive named without its extension, and a stale part beside a
// backup.
#include "FaultSupport.h"

#include "app/run/DestinationLock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace faults {
namespace {

const std::string kTool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";

// Writes a settings file as the window writes it: Windows-1250 text, CRLF line ends.
void WriteSettings(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    WriteFile(path + ".utf8", text);
    ASSERT_EQ(
        Shell("iconv -f UTF-8 -t WINDOWS-1250 " + Quote(path + ".utf8") + " > " + Quote(path)), 0);
}

std::vector<std::string> Settings(const std::string& destination, const std::string& source,
                                  const std::string& depth) {
    return {"[Nastavení]",        "Adresář zálohy=" + destination,
            "Soubor zálohy=data", "Hloubka zálohy=" + depth,
            "[Archivace]",        "Adresář 0=" + source,
            "Přípona 0=*.*"};
}

// The window's own settings file, beside the program: a copy of the front end in a folder of its
// own, with the cabinet library beside it, finds the file there. It reads the file without Qt:
// no Qt library is linked into it, nor loaded while it runs.
TEST(FrontEnd, TheSettingsOfTheWindowAreBackedUpAsTheButtonDoes) {
    Scratch dir;
    const std::string bin = dir / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(kTool, bin + "/ostrivane-cab");
    std::filesystem::copy_file(std::string(OSTRIVANE_BUILD_DIR) + "/libcabinet.so",
                               bin + "/libcabinet.so");
    ::mkdir((dir / "out").c_str(), 0755);
    // The destination as the field may hold it, with a trailing "/"; the name without ".cab".
    WriteSettings(bin + "/Ostrivane.ini", Settings(dir / "out/", dir / "Data", "2"));
    for (int run = 0; run < 4; ++run) {
        WriteFile(dir / "Data/a.txt", "run " + std::to_string(run));
        std::string output;
        ASSERT_EQ(Shell("LD_DEBUG=libs LD_DEBUG_OUTPUT=" + Quote(dir / "loaded") + " " +
                            Quote(bin + "/ostrivane-cab") + " --settings --quiet",
                        &output),
                  0)
            << output;
        EXPECT_EQ(output, "");
    }
    std::string linked;
    ASSERT_EQ(Shell("ldd " + Quote(bin + "/ostrivane-cab"), &linked), 0);
    EXPECT_EQ(linked.find("libQt"), std::string::npos) << linked;
    std::string loaded;
    ASSERT_EQ(Shell("cat " + Quote(dir / "") + "loaded.*", &loaded), 0);
    EXPECT_NE(loaded.find("libcabinet.so"), std::string::npos) << "the run was not traced";
    EXPECT_EQ(loaded.find("libQt"), std::string::npos);
    EXPECT_EQ(Listing(dir / "out"), "data.cab data_1.cab data_2.cab");
    EXPECT_EQ(CabextractFile(dir / "out/data.cab", "Data/a.txt"), "run 3");
    EXPECT_EQ(CabextractFile(dir / "out/data_1.cab", "Data/a.txt"), "run 2");
    EXPECT_EQ(CabextractFile(dir / "out/data_2.cab", "Data/a.txt"), "run 1");
}

TEST(FrontEnd, NoSettingsOrFailingInputGiveTheWindowsMessagesAndNoBackup) {
    Scratch dir;
    WriteFile(dir / "Data/a.txt", "alpha");
    ::mkdir((dir / "out").c_str(), 0755);
    WriteSettings(dir / "no-destination.ini", Settings(dir / "missing", dir / "Data", "1"));
    std::vector<std::string> badTime = Settings(dir / "out", dir / "Data", "1");
    badTime.insert(badTime.begin() + 1, "Středa=1");
    badTime.insert(badTime.begin() + 2, "Středa čas= 25:00");
    WriteSettings(dir / "bad-time.ini", badTime);
    ::mkdir((dir / "folder.ini").c_str(), 0755);
    const std::pair<std::string, std::string> cases[] = {
        {dir / "none.ini", "Nejsou vybrány žádné soubory do archívu !"},
        {dir / "no-destination.ini",
         "Neexistuje nebo nebyl vybrán adresář nebo disk pro uložení archívu !"},
        {dir / "bad-time.ini", "Zadán špatný formát času 25:00"},
        {dir / "folder.ini", "Soubor nastavení " + dir / "folder.ini" +
                                 " nelze přečíst, použije se výchozí nastavení a změny se "
                                 "neuloží !"},
    };
    for (const auto& [file, message] : cases) {
        std::string output;
        EXPECT_EQ(Shell(Quote(kTool) + " --settings " + Quote(file), &output), 1) << file;
        EXPECT_NE(output.find(message), std::string::npos) << file << ": " << output;
    }
    EXPECT_EQ(Listing(dir / "out"), "");
    EXPECT_FALSE(Exists(dir / "none.ini")) << "a missing settings file is never made";
}

TEST(FrontEnd, AFolderAnotherCopyIsBackingUpIntoIsLeftAlone) {
    Scratch dir;
    WriteFile(dir / "Data/a.txt", "alpha");
    WriteFile(dir / "out/data.cab", "the previous backup");
    const ostrivane::DestinationLock otherCopy(dir / "out/data.cab");
    ASSERT_TRUE(otherCopy.Held());
    std::string output;
    EXPECT_EQ(Shell(Quote(kTool) + " --keep 3 " + Quote(dir / "out/data.cab") + " " +
                        Quote(dir / "Data/*.*"),
                    &output),
              1);
    EXPECT_NE(output.find("jiná spuštěná kopie programu"), std::string::npos) << output;
    EXPECT_EQ(ReadFile(dir / "out/data.cab"), "the previous backup");
    EXPECT_EQ(Listing(dir / "out"), "data.cab");
}

// An archive named without ".cab" is written as NAME.cab: the series of that file is the one
// rotated, so the earlier backup becomes NAME_1.cab instead of being replaced.
TEST(FrontEnd, AnArchiveNamedWithoutExtensionKeepsItsEarlierBackups) {
    Scratch dir;
    ::mkdir((dir / "out").c_str(), 0755);
    for (int run = 0; run < 2; ++run) {
        WriteFile(dir / "Data/a.txt", "run " + std::to_string(run));
        ASSERT_EQ(Shell(Quote(kTool) + " --quiet --keep 2 " + Quote(dir / "out/data") + " " +
                        Quote(dir / "Data/*.*")),
                  0);
    }
    EXPECT_EQ(Listing(dir / "out"), "data.cab data_1.cab");
    ASSERT_EQ(Shell("cabextract -q -d " + Quote(dir / "old") + " " + Quote(dir / "out/data_1.cab")),
              0);
    EXPECT_EQ(ReadFile(dir / "old/Data/a.txt"), "run 0");
}

// A killed run of an older version, or a copy from elsewhere, may leave a cabinet named as a
// later part of a backup. It carries another set ID: the reading commands do not take it into
// the backup, and the next backup of that name removes it.
TEST(FrontEnd, AStalePartIsNeverTakenForAPartOfTheBackup) {
    Scratch dir;
    for (int i = 0; i < 3; ++i)
        WriteFile(dir / ("other/f" + std::to_string(i)), RandomBytes(60000, 10 + i));
    for (int i = 0; i < 2; ++i)
        WriteFile(dir / ("Data/f" + std::to_string(i)), RandomBytes(60000, i));
    ::mkdir((dir / "x").c_str(), 0755);
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string size = " --quiet --part-size 100000 ";
    ASSERT_EQ(
        Shell(Quote(kTool) + size + Quote(dir / "x/other.cab") + " " + Quote(dir / "other/*.*")),
        0);
    ASSERT_EQ(
        Shell(Quote(kTool) + size + Quote(dir / "out/data.cab") + " " + Quote(dir / "Data/*.*")),
        0);
    std::filesystem::copy_file(dir / "x/other-3.cab", dir / "out/data-3.cab");

    std::string output;
    EXPECT_EQ(Shell(Quote(kTool) + " --test " + Quote(dir / "out/data.cab"), &output), 0) << output;
    EXPECT_NE(output.find("dobrých souborů: 2"), std::string::npos) << output;
    EXPECT_EQ(Shell(Quote(kTool) + " --extract --quiet " + Quote(dir / "back") + " " +
                    Quote(dir / "out/data.cab")),
              0);
    EXPECT_EQ(Listing(dir / "back/Data"), "f0 f1");
    EXPECT_EQ(ReadFile(dir / "back/Data/f1"), ReadFile(dir / "Data/f1"));

    Shell("rm " + Quote(dir / "Data/f1"));
    ASSERT_EQ(
        Shell(Quote(kTool) + size + Quote(dir / "out/data.cab") + " " + Quote(dir / "Data/*.*")),
        0);
    EXPECT_EQ(Listing(dir / "out"), "data.cab");
}

} // namespace
} // namespace faults
