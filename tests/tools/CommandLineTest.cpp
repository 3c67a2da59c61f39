// The command lines of ostrivane-cab and of the program as a user types them: --help and
// --version, values after "=", unknown options named, what goes to standard error when it is no
// terminal, and the first backup of a new account into its documents folder.
#include "ostrivane/Version.h"
#include "tests/support/Readers.h"
#include "tests/support/Scratch.h"
#include "tests/support/Shell.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testsupport;

const std::string kTool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";
const std::string kProgram = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Standard output alone, standard error thrown away.
int Stdout(const std::string& command, std::string* output) {
    return Shell(command + " 2>/dev/null", output);
}

// Standard error alone, standard output thrown away.
int Stderr(const std::string& command, std::string* output) {
    return Shell(command + " 2>&1 >/dev/null", output);
}

TEST(FrontEndCommandLine, HelpAndVersionPrintToStandardOutputAndSucceed) {
    std::string out;
    ASSERT_EQ(Stdout(Quote(kTool) + " --help", &out), 0);
    EXPECT_TRUE(Contains(out, "Použití:")) << out;
    EXPECT_TRUE(Contains(out, "--keep=N")) << out;
    EXPECT_EQ(Stdout(Quote(kTool) + " -h", &out), 0);
    ASSERT_EQ(Stdout(Quote(kTool) + " --version", &out), 0);
    EXPECT_EQ(out, "ostrivane-cab " + std::string(ostrivane::kVersion) + "\n");
    ASSERT_EQ(Stderr(Quote(kTool) + " --help", &out), 0);
    EXPECT_EQ(out, "");
}

TEST(FrontEndCommandLine, BadUsageNamesTheOptionOnStandardErrorWithStatusTwo) {
    const std::pair<std::string, std::string> cases[] = {
        {"--frobnicate a.cab 'x/*'", "\u201E--frobnicate\u201C"},
        {"--frob=1 a.cab 'x/*'", "\u201E--frob\u201C"},
        {"-x a.cab 'x/*'", "\u201E-x\u201C"},
        {"--quiet=yes a.cab 'x/*'", "--quiet nebere hodnotu"},
        {"a.cab 'x/*' --keep", "--keep potřebuje hodnotu"},
        {"--keep=-1 a.cab 'x/*'", "--keep potřebuje počet"},
        {"--list --keep=2 a.cab", "--keep"},
        {"--test --exclude='*.iso' a.cab", "--exclude patří jen k záloze"},
        {"a.cab 'x/*' --exclude", "--exclude potřebuje hodnotu"},
    };
    for (const auto& [arguments, named] : cases) {
        std::string err;
        EXPECT_EQ(Stderr(Quote(kTool) + " " + arguments, &err), 2) << arguments;
        EXPECT_TRUE(Contains(err, named)) << arguments << ": " << err;
        std::string out;
        Stdout(Quote(kTool) + " " + arguments, &out);
        EXPECT_EQ(out, "") << arguments;
    }
}

// Values after "=" as a timer's unit file writes them; the earlier backups kept as the window
// keeps them, each read by cabextract. Standard error is a file here, as in the journal: one line
// per phase, no carriage return.
TEST(FrontEndCommandLine, ValuesAfterAnEqualsSignBackUpAndTheLogHasNoCarriageReturns) {
    Scratch work;
    MakeDir(work / "out");
    for (const std::string run : {"first", "second", "third"}) {
        WriteFile(work / "src/a.txt", run);
        ASSERT_EQ(Shell(Quote(kTool) + " --keep=2 --threads=2 --part-size=1048576 " +
                        Quote(work / "out/data.cab") + " " + Quote(work / "src/*.*") + " 2> " +
                        Quote(work / "log")),
                  0)
            << ReadFile(work / "log");
        const std::string err = ReadFile(work / "log");
        EXPECT_EQ(err.find('\r'), std::string::npos) << err;
        EXPECT_TRUE(Contains(err, "Balení souborů do archívu\n")) << err;
        EXPECT_TRUE(Contains(err, "Ověřování archívu\n")) << err;
    }
    EXPECT_EQ(Listing(work / "out"), "data.cab data_1.cab data_2.cab");
    EXPECT_EQ(CabextractFile(work / "out/data.cab", "src/a.txt"), "third");
    EXPECT_EQ(CabextractFile(work / "out/data_2.cab", "src/a.txt"), "first");
    std::string err;
    ASSERT_EQ(Stderr(Quote(kTool) + " --test " + Quote(work / "out/data.cab"), &err), 0) << err;
    EXPECT_EQ(err.find('\r'), std::string::npos) << err;
}

// On a terminal the percentages are rewritten in place.
TEST(FrontEndCommandLine, OnATerminalProgressIsOneLineRewrittenInPlace) {
    Scratch work;
    WriteFile(work / "src/a.txt", "alpha");
    const std::string backup =
        Quote(kTool) + " " + Quote(work / "data.cab") + " " + Quote(work / "src/*.*");
    std::string output;
    ASSERT_EQ(Shell("script -qec " + Quote(backup) + " /dev/null", &output), 0) << output;
    EXPECT_TRUE(Contains(output, "\rsoubor 100%  archív 100%")) << output;
    EXPECT_FALSE(Contains(output, "Balení souborů")) << output;
}

// A new account has no documents folder yet: its first backup to the default destination makes
// it instead of failing.
TEST(FrontEndCommandLine, TheFirstBackupOfANewAccountMakesItsDocumentsFolder) {
    Scratch work;
    MakeDir(work / "home");
    WriteFile(work / "data/a.txt", "alpha");
    ASSERT_EQ(Shell("printf '[Archivace]\\r\\nAdresář 0=%s\\r\\nPřípona 0=*.*\\r\\n' " +
                    Quote(work / "data") + " | iconv -f UTF-8 -t WINDOWS-1250 > " +
                    Quote(work / "timer.ini")),
              0);
    std::string output;
    ASSERT_EQ(Shell("env -i HOME=" + Quote(work / "home") + " PATH=/usr/bin:/bin " + Quote(kTool) +
                        " --settings --quiet " + Quote(work / "timer.ini"),
                    &output),
              0)
        << output;
    EXPECT_EQ(CabextractFile(work / "home/Documents/Záloha.cab", "data/a.txt"), "alpha");
}

#ifdef OSTRIVANE_WITH_PROGRAM
// --help and --version need no display; an argument that is not the tray's ends the program
// instead of starting it hidden.
TEST(ProgramCommandLine, HelpAndVersionWithoutADisplayAndUnknownArgumentsRefused) {
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ";
    std::string out;
    ASSERT_EQ(Stdout(noDisplay + Quote(kProgram) + " --help", &out), 0);
    EXPECT_TRUE(Contains(out, "Použití: ostrivane [/systray]")) << out;
    ASSERT_EQ(Stdout(noDisplay + Quote(kProgram) + " --version", &out), 0);
    EXPECT_EQ(out, "ostrivane " + std::string(ostrivane::kVersion) + "\n");
    std::string err;
    EXPECT_EQ(Stderr("QT_QPA_PLATFORM=offscreen " + Quote(kProgram) + " --bogus", &err), 2);
    EXPECT_TRUE(Contains(err, "\u201E--bogus\u201C")) << err;
}
#endif

} // namespace
