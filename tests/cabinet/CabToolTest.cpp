// The ostrivane-cab front end, run as a user runs it.
#include "CabTestSupport.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const std::string kTool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";

int RunTool(const std::string& arguments, std::string* output) {
    return Shell(Quote(kTool) + " " + arguments, output);
}

} // namespace

TEST(CabToolTest, PacksTheSpecsAndExitsZero) {
    Scratch work;
    WriteFile(work / "docs/a.txt", "alpha");
    WriteFile(work / "docs/deep/b.txt", "beta");
    WriteFile(work / "other/c.dat", "gamma");
    WriteFile(work / "other/skip.txt", "not matched");
    std::string output;
    ASSERT_EQ(RunTool("--recurse --threads 2 " + Quote(work / "out") + " " +
                          Quote(work / "docs/*.txt") + " " + Quote(work / "other/*.dat"),
                      &output),
              0)
        << output;
    // The default extension was added; progress went to standard error, a line per phase.
    EXPECT_NE(output.find("Balení souborů do archívu"), std::string::npos) << output;
    const CabDirectory dir = ReadCabDirectory(work / "out.cab");
    ASSERT_TRUE(dir.Valid);
    EXPECT_EQ(dir.SortedNames(),
              (std::vector<std::string>{"docs\\a.txt", "docs\\deep\\b.txt", "other\\c.dat"}));
}

TEST(CabToolTest, QuietWithoutRecursion) {
    Scratch work;
    WriteFile(work / "docs/a.txt", "alpha");
    WriteFile(work / "docs/deep/b.txt", "beta");
    std::string output;
    ASSERT_EQ(
        RunTool("--quiet " + Quote(work / "out.cab") + " " + Quote(work / "docs/*.*"), &output), 0)
        << output;
    EXPECT_EQ(output, "");
    const CabDirectory dir = ReadCabDirectory(work / "out.cab");
    ASSERT_EQ(dir.Files.size(), 1u);
    EXPECT_EQ(dir.Files[0].Name, "docs\\a.txt");
}

TEST(CabToolTest, ErrorReportsGiveExitStatusOne) {
    Scratch work;
    std::string output;
    EXPECT_EQ(
        RunTool("--quiet " + Quote(work / "out.cab") + " " + Quote(work / "missing/*.*"), &output),
        1);
    EXPECT_NE(output.find("chyba 25268: Nothing to do: " + work / "out.cab"), std::string::npos)
        << output;
}

TEST(CabToolTest, WithoutTheLibraryBesideItNothingIsWritten) {
    Scratch work;
    WriteFile(work / "docs/a.txt", "alpha");
    const std::string copy = work / "bin/ostrivane-cab";
    std::filesystem::create_directories(work / "bin");
    std::filesystem::copy_file(kTool, copy);
    std::string output;
    EXPECT_EQ(
        Shell(Quote(copy) + " --quiet " + Quote(work / "out.cab") + " " + Quote(work / "docs/*.*"),
              &output),
        1);
    EXPECT_NE(output.find("chyba 25261: Cabinet.dll not found: " + work / "out.cab"),
              std::string::npos)
        << output;
    EXPECT_FALSE(Exists(work / "out.cab"));
}

TEST(CabToolTest, BadUsageGivesExitStatusTwo) {
    std::string output;
    EXPECT_EQ(RunTool("", &output), 2);
    EXPECT_NE(output.find("Použití:"), std::string::npos);
    EXPECT_EQ(RunTool("only-an-archive.cab", &output), 2);
    EXPECT_EQ(RunTool("--threads 0 a.cab x/*", &output), 2);
    EXPECT_EQ(RunTool("--threads", &output), 2);
    EXPECT_EQ(RunTool("--frobnicate a.cab x/*", &output), 2);
    EXPECT_EQ(RunTool("--list a.cab b.cab", &output), 2);
    EXPECT_EQ(RunTool("--test", &output), 2);
    EXPECT_EQ(RunTool("--extract dir", &output), 2);
    EXPECT_EQ(RunTool("--test --extract dir a.cab", &output), 2);
    EXPECT_EQ(RunTool("--overwrite a.cab x/*", &output), 2);
    EXPECT_EQ(RunTool("--list --no-verify a.cab", &output), 2);
}

TEST(CabToolTest, ABareMaskOrARelativeFolderIsTakenInTheCurrentFolder) {
    Scratch work;
    WriteFile(work / "here/a.txt", "alpha");
    WriteFile(work / "here/sub/b.txt", "beta");
    std::string output;
    ASSERT_EQ(Shell("cd " + Quote(work / "here") + " && " + Quote(kTool) +
                        " --quiet ../bare.cab '*.txt' && " + Quote(kTool) +
                        " --quiet ../relative.cab 'sub/*.txt'",
                    &output),
              0)
        << output;
    ASSERT_EQ(ReadCabDirectory(work / "bare.cab").Files.size(), 1u);
    EXPECT_EQ(ReadCabDirectory(work / "bare.cab").Files[0].Name, "here\\a.txt");
    ASSERT_EQ(ReadCabDirectory(work / "relative.cab").Files.size(), 1u);
    EXPECT_EQ(ReadCabDirectory(work / "relative.cab").Files[0].Name, "sub\\b.txt");
}

TEST(CabToolTest, ListShowsTheBackupsTimeThenSizeTimeAttributesAndName) {
    Scratch work;
    WriteFile(work / "docs/ro.txt", "12345");
    ::chmod((work / "docs/ro.txt").c_str(), 0444);
    ASSERT_EQ(Shell("touch -d '2021-03-04 05:06:07.123456789' " + Quote(work / "docs/ro.txt")), 0);
    ::symlink("ro.txt", (work / "docs/link").c_str());
    const std::string archive = work / "list.cab";
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(
        RunTool("--quiet --recurse " + Quote(archive) + " " + Quote(work / "docs/*"), nullptr), 0);
    // A copy without its times (a sync tool, "cp" without -p) changes nothing of what is listed.
    ASSERT_EQ(Shell("touch -d 2020-01-01 " + Quote(archive)), 0);
    std::string output;
    ASSERT_EQ(RunTool("--list " + Quote(archive), &output), 0) << output;
    char today[32];
    std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&before));
    EXPECT_EQ(output.rfind(std::string(today) + " ", 0), 0u) << output;
    EXPECT_NE(output.find("  čas zálohy\n         5  2021-03-04 05:06:07  r--a-  docs/ro.txt\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("l----  docs/link -> ro.txt\n"), std::string::npos) << output;
    // Cut short, the cabinet fails the list at once.
    const std::string whole = ReadFile(archive);
    WriteFile(work / "cut.cab", whole.substr(0, whole.size() - 10));
    EXPECT_EQ(RunTool("--list " + Quote(work / "cut.cab"), &output), 1);
    EXPECT_NE(output.find("je zkrácená"), std::string::npos) << output;
    EXPECT_EQ(output.find("docs/ro.txt"), std::string::npos) << output;
}

// A backup in parts: each part a cabinet of its own, and the reading commands take the whole set
// by its first part.
TEST(CabToolTest, ASetOfPartsIsTestedAndRestoredWholeByItsFirstPart) {
    Scratch work;
    for (int i = 0; i < 5; ++i)
        WriteFile(work / ("src/f" + std::to_string(i) + ".bin"), RandomBytes(60000, i));
    std::string output;
    ASSERT_EQ(RunTool("--quiet --part-size 100000 " + Quote(work / "set.cab") + " " +
                          Quote(work / "src/*.*"),
                      &output),
              0)
        << output;
    EXPECT_TRUE(Exists(work / "set-5.cab"));
    EXPECT_FALSE(Exists(work / "set-6.cab"));
    ASSERT_EQ(RunTool(Quote("--test") + " " + Quote(work / "set.cab"), &output), 0) << output;
    EXPECT_NE(output.find("dobrých souborů: 5"), std::string::npos) << output;
    ASSERT_EQ(RunTool("--extract --quiet " + Quote(work / "back") + " " + Quote(work / "set.cab"),
                      &output),
              0)
        << output;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "src/f" + std::to_string(i) + ".bin";
        EXPECT_EQ(ReadFile(work / ("back/" + name)), ReadFile(work / name)) << name;
    }
    // A flipped byte in the data of a later part fails the test of the set, naming the file.
    std::string part = ReadFile(work / "set-3.cab");
    part[part.size() - 1000] ^= 0x10;
    WriteFile(work / "set-3.cab", part);
    EXPECT_EQ(RunTool("--test " + Quote(work / "set.cab"), &output), 1) << output;
    EXPECT_NE(output.find("set-3.cab"), std::string::npos) << output;
}
