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

// The front end's quiet backup of every file of `source` into `archive`, in parts of at most
// 100000 bytes; its exit status.
int BackUpInParts(const std::string& archive, const std::string& source) {
    return Shell(Quote(kTool) + " --quiet --part-size 100000 " + Quote(archive) + " " +
                 Quote(source + "/*.*"));
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
    ASSERT_EQ(BackUpInParts(dir / "x/other.cab", dir / "other"), 0);
    ASSERT_EQ(BackUpInParts(dir / "out/data.cab", dir / "Data"), 0);
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
    ASSERT_EQ(BackUpInParts(dir / "out/data.cab", dir / "Data"), 0);
    EXPECT_EQ(Listing(dir / "out"), "data.cab");
}

} // namespace
} // namespace faults

namespace faults {
namespace {

// The files the cabinets `parts` hold, as cabextract lists them.
std::set<std::string> NamesIn(const std::vector<std::string>& parts) {
    std::set<std::string> names;
    for (const std::string& part : parts) {
        const std::set<std::string> held = CabextractNames(part);
        names.insert(held.begin(), held.end());
    }
    return names;
}

// The names of the files below `folder`, "/" between their parts.
std::set<std::string> RestoredNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : testsupport::TreeContents(folder))
        names.insert(name);
    return names;
}

// A backup is read by its whole set: a part missing (in the middle or at the end), another
// backup's part under a part's name, or a part cut short is told by the part's name and fails
// every reading command, while --extract still restores every file the other parts hold.
TEST(FrontEnd, EveryReadingCommandFailsOnASetThatIsNotWholeAndStillRestoresTheRest) {
    Scratch dir;
    for (int i = 0; i < 3; ++i) {
        WriteFile(dir / ("Data/f" + std::to_string(i)), RandomBytes(60000, i));
        WriteFile(dir / ("other/g" + std::to_string(i)), RandomBytes(60000, 10 + i));
    }
    ::mkdir((dir / "x").c_str(), 0755);
    ::mkdir((dir / "whole").c_str(), 0755);
    ASSERT_EQ(BackUpInParts(dir / "x/other.cab", dir / "other"), 0);
    ASSERT_EQ(BackUpInParts(dir / "whole/data.cab", dir / "Data"), 0);
    ASSERT_EQ(Listing(dir / "whole"), "data-2.cab data-3.cab data.cab");
    struct Case {
        const char* name;
        const char* part;   // the part that is not as it should be
        std::string change; // the shell command that makes it so, in the copy "out"
        const char* told;
    };
    const Case cases[] = {
        {"middle part missing", "data-2.cab", "rm data-2.cab", "chybí část 2 z 3 této zálohy"},
        {"last part missing", "data-3.cab", "rm data-3.cab", "chybí část 3 z 3 této zálohy"},
        {"another backup's part", "data-2.cab", "cp ../x/other-2.cab data-2.cab",
         "není část 2 z 3 této zálohy"},
        {"a part twice", "data-3.cab", "cp data-2.cab data-3.cab",
         "místo část 3 z 3 obsahuje část 2 této zálohy"},
        {"a part cut short", "data-3.cab", "truncate -s 30000 data-3.cab",
         "je zkrácená, má jen 30000 z"},
    };
    for (const Case& c : cases) {
        const std::string out = dir / "out";
        const std::string back = dir / "back";
        Shell("rm -rf " + Quote(out) + " " + Quote(back));
        ASSERT_EQ(Shell("cp -a " + Quote(dir / "whole") + " " + Quote(out) + " && cd " +
                        Quote(out) + " && " + c.change),
                  0);
        const std::string told = out + "/" + c.part + ": " + c.told;
        for (const std::string& command : {std::string("--list"), std::string("--test")}) {
            std::string output;
            EXPECT_EQ(Shell(Quote(kTool) + " " + command + " " + Quote(out + "/data.cab"), &output),
                      1)
                << c.name << ", " << command;
            EXPECT_NE(output.find(told), std::string::npos) << c.name << ": " << output;
        }
        std::string output;
        EXPECT_EQ(Shell(Quote(kTool) + " --extract " + Quote(back) + " " + Quote(out + "/data.cab"),
                        &output),
                  1)
            << c.name;
        EXPECT_NE(output.find(told), std::string::npos) << c.name << ": " << output;
        // Every file of the parts that are whole and belong to the backup is restored.
        std::vector<std::string> good;
        for (const std::string& part :
             {std::string("data.cab"), std::string("data-2.cab"), std::string("data-3.cab")}) {
            if (part != c.part)
                good.push_back(dir / ("whole/" + part));
        }
        EXPECT_EQ(RestoredNames(back), NamesIn(good)) << c.name;
        EXPECT_EQ(RestoredNames(back).size(), 2u) << c.name;
        for (const auto& [name, bytes] : testsupport::TreeContents(back))
            EXPECT_EQ(bytes, ReadFile(dir / name)) << c.name << ": " << name;
    }
}

// Anything but a regular file is refused at once: no reading command waits on a FIFO.
TEST(FrontEnd, TheReadingCommandsRefuseAFifoAtOnce) {
    Scratch dir;
    ASSERT_EQ(::mkfifo((dir / "data.cab").c_str(), 0644), 0);
    const std::string fifo = Quote(dir / "data.cab");
    for (const std::string& command :
         {" --list " + fifo, " --test " + fifo, " --extract " + Quote(dir / "back") + " " + fifo}) {
        std::string output;
        // Shell gives -1 when the command does not end within the limit.
        EXPECT_EQ(Shell(Quote(kTool) + command, &output, 20), 1) << command;
        EXPECT_NE(output.find("není obyčejný soubor"), std::string::npos) << output;
    }
}

} // namespace
} // namespace faults
