// Exclusion patterns through the front end, as cron runs it: `--exclude` on the command line and
// the same patterns under "[Vyloučení]" of a settings file leave exactly those files and folders
// out of the cabinet, and an excluded folder is never entered: a folder inside it that cannot be
// read, which a backup without the patterns reports, goes unmentioned.
#include "FaultSupport.h"

#include "platform/profile/Windows1250.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

namespace faults {
namespace {

// The tree of every case: what the patterns leave out, what stays, and a folder the user may not
// read inside an excluded one, and a file it may not read that a pattern leaves out.
class ExclusionRun : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file :
             {"keep.txt", "disc.iso", "Dokumenty/zprava.odt", "Dokumenty/obraz.ISO", "web/app.js",
              "web/node_modules/lib/index.js", "node_modules", "a/b/image.iso"})
            WriteFile(dir / ("src/" + std::string(file)), file);
        WriteFile(dir / "src/web/node_modules/locked/secret.js", "for nobody");
        WriteFile(dir / "src/locked.iso", "for nobody");
        ::chmod((dir / "src/web/node_modules/locked").c_str(), 0700);
        ::chmod((dir / "src/locked.iso").c_str(), 0600);
        for (const char* folder : {"out", "state"})
            ::mkdir((dir / folder).c_str(), 0755);
    }

    // The front end with `arguments` as the unprivileged user (who owns `out` and `state`); its
    // exit status, with what it printed in `output`.
    int Run(const std::string& arguments, std::string& output) {
        EXPECT_TRUE(HandOver(dir / "out") && HandOver(dir / "state"));
        const std::string tool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";
        const std::string command =
            "env HOME=" + Quote(dir / "state") + " XDG_STATE_HOME=" + Quote(dir / "state") +
            " TMPDIR=" + Quote(dir / "out") + " " + Quote(tool) + " --quiet " + arguments + " 2>&1";
        return RunUnprivileged(
            [&] {
                std::string printed;
                const int status = Shell(command, &printed);
                std::fputs(printed.c_str(), stdout);
                return status;
            },
            120, &output);
    }

    // What stays of the tree, as the cabinet stores it.
    static std::set<std::string> Kept() {
        return {"src/keep.txt", "src/Dokumenty/zprava.odt", "src/Dokumenty/obraz.ISO",
                "src/web/app.js", "src/node_modules"};
    }

    Scratch dir;
};

TEST_F(ExclusionRun, CommandLinePatternsLeaveExactlyThoseOut) {
    std::string output;
    // Without the patterns the locked folder and file are met, and reported.
    ASSERT_EQ(Run("--recurse " + Quote(dir / "out/all.cab") + " " + Quote(dir / "src/*.*"), output),
              1)
        << output;
    EXPECT_NE(output.find("node_modules/locked"), std::string::npos) << output;
    EXPECT_NE(output.find("locked.iso"), std::string::npos) << output;

    const std::string archive = dir / "out/data.cab";
    EXPECT_EQ(Run("--recurse --exclude 'node_modules/' --exclude='*.iso' " + Quote(archive) + " " +
                      Quote(dir / "src/*.*"),
                  output),
              0)
        << output;
    EXPECT_EQ(output, "");
    ASSERT_TRUE(CabextractAccepts(archive));
    EXPECT_EQ(CabextractNames(archive), Kept());
}

TEST_F(ExclusionRun, TheSettingsFilePatternsLeaveExactlyThoseOut) {
    const std::string settings = dir / "Ostrivane.ini";
    std::string text;
    for (const std::string& line : std::vector<std::string>{
             "[Nastavení]", "Adresář zálohy=" + dir / "out", "Soubor zálohy=data",
             "Hloubka zálohy=1", "Podadresáře=1", "[Archivace]", "Adresář 0=" + dir / "src",
             "Přípona 0=*.*", "[Vyloučení]", "Vzor 0=node_modules/", "Vzor 1=*.iso"})
        text += line + "\r\n";
    WriteFile(settings, ostrivane::profile::EncodeWindows1250(text).value());
    std::string output;
    EXPECT_EQ(Run("--settings " + Quote(settings), output), 0) << output;
    EXPECT_EQ(output, "");
    const std::string archive = dir / "out/data.cab";
    ASSERT_TRUE(CabextractAccepts(archive));
    EXPECT_EQ(CabextractNames(archive), Kept());

    // A pattern of the command line adds to those of the file.
    EXPECT_EQ(Run("--settings --exclude=/Dokumenty/ " + Quote(settings), output), 0) << output;
    std::set<std::string> fewer = Kept();
    fewer.erase("src/Dokumenty/zprava.odt");
    fewer.erase("src/Dokumenty/obraz.ISO");
    EXPECT_EQ(CabextractNames(archive), fewer);
}

} // namespace
} // namespace faults
