// The file system changing under a running build: sources that vanish or turn into something
// else between the scan and their add, sources that grow or shrink while they are read, a file
// the user may not read, and a destination folder that disappears.
#include "FaultSupport.h"

#include "archive/model/ErrorCodes.h"
#include "platform/fs/Paths.h"
#include "tests/support/ParamName.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <vector>

namespace faults {
namespace {

std::string Extracted(const Scratch& dir, const std::string& archive, const std::string& name) {
    Shell("mkdir -p " + Quote(dir / "x") + " && cabextract -q -d " + Quote(dir / "x") + " " +
          Quote(archive));
    return Exists(dir / ("x/" + name)) ? ReadFile(dir / ("x/" + name)) : std::string("(none)");
}

TEST(SourceChange, VanishedOrReplacedSourcesAreReportedAndTheRestArchived) {
    Scratch dir;
    const std::vector<std::string> changed = {"gone.txt", "fifo.txt", "folder.txt", "zero.txt",
                                              "huge.txt"};
    for (const std::string& name : changed)
        WriteFile(dir / ("src/" + name), "contents of " + name);
    WriteFile(dir / "src/a.txt", "stays");
    WriteFile(dir / "src/z.txt", "stays too");
    const std::string archive = dir / "out/archive.cab";
    ::mkdir((dir / "out").c_str(), 0755);
    // The changes are made when the build comes to each file: it vanishes, becomes a FIFO (which
    // would block an open for ever), a folder, a link to /dev/zero (which never ends), or a
    // sparse file past the 4 GiB a cabinet can hold. The build runs guarded.
    const GuardedBuild build = BuildGuarded(
        [&](TMakeCab& cab) {
            ConfigureForBackup(cab, archive, {dir / "src/*.*"}, false, "");
            cab.OnBegin = [&](TComponent*, const std::string& file, int, bool&) {
                const std::string name = ostrivane::fs::NameOf(file);
                if (std::find(changed.begin(), changed.end(), name) == changed.end())
                    return;
                if (name == "huge.txt") {
                    if (::truncate(file.c_str(), 0x100000001ll) != 0)
                        ::unlink(file.c_str());
                    return;
                }
                ::unlink(file.c_str());
                if (name == "fifo.txt")
                    ::mkfifo(file.c_str(), 0644);
                else if (name == "folder.txt")
                    ::mkdir(file.c_str(), 0755);
                else if (name == "zero.txt")
                    ::symlink("/dev/zero", file.c_str());
            };
        },
        60, dir / "reports");
    ASSERT_EQ(build.status, 2) << build.Describe();
    for (const std::string& name : changed) {
        const std::string path = dir / ("src/" + name);
        EXPECT_TRUE(build.Reported(kErrOpeningFile, path) || build.Reported(kErrFileTooLarge, path))
            << name << ": " << build.Describe();
    }
    EXPECT_EQ(build.reports.size(), changed.size()) << build.Describe();
    ASSERT_TRUE(CabextractAccepts(archive));
    EXPECT_EQ(CabextractNames(archive), (std::set<std::string>{"src/a.txt", "src/z.txt"}));
}

struct Resize {
    const char* name;
    std::size_t before;
    std::size_t after;
};

void PrintTo(const Resize& r, std::ostream* os) {
    *os << r.name;
}

class SourceResized : public ::testing::TestWithParam<Resize> {};

TEST_P(SourceResized, WhileItIsReadTheCabinetStaysSound) {
    const Resize r = GetParam();
    Scratch dir;
    const std::string changing = dir / "src/changing.bin";
    const std::string original = RandomBytes(r.before, 1);
    const std::string grown =
        original + RandomBytes(r.after > r.before ? r.after - r.before : 0, 2);
    WriteFile(changing, original);
    WriteFile(dir / "src/other.bin", RandomBytes(50000, 3));
    const std::string archive = dir / "out/archive.cab";
    ::mkdir((dir / "out").c_str(), 0755);

    TMakeCab cab;
    Reports reports(cab);
    ConfigureForBackup(cab, archive, {dir / "src/*.*"}, false, "");
    std::string current;
    bool changed = false;
    std::vector<std::pair<int, int>> progress;
    cab.OnBegin = [&](TComponent*, const std::string& file, int, bool&) { current = file; };
    cab.OnProgress = [&](TComponent*, std::uint8_t byFile, std::uint8_t byArchive) {
        progress.emplace_back(byFile, byArchive);
        if (current == changing && !changed) {
            changed = true;
            if (r.after > r.before)
                WriteFile(changing, grown);
            else
                ASSERT_EQ(::truncate(changing.c_str(), static_cast<off_t>(r.after)), 0);
        }
    };
    const int added = cab.Compress();
    ASSERT_TRUE(changed) << "the file was never read";
    for (const auto& [byFile, byArchive] : progress) {
        EXPECT_LE(byFile, 100);
        EXPECT_LE(byArchive, 100);
    }
    ASSERT_TRUE(CabextractAccepts(archive)) << reports.Describe();
    // Any report is about the file that changed.
    for (const Report& report : reports.All())
        EXPECT_TRUE(report.FileName == changing || report.ExtendedMsg == changing)
            << reports.Describe();
    EXPECT_EQ(Extracted(dir, archive, "src/other.bin"), ReadFile(dir / "src/other.bin"));
    const std::string stored = Extracted(dir, archive, "src/changing.bin");
    if (stored == "(none)") {
        EXPECT_FALSE(reports.All().empty()) << "the file was left out without a report";
        EXPECT_EQ(added, 1);
        return;
    }
    EXPECT_EQ(added, 2);
    // What was stored is the file's bytes as they were read: the old part, the new length
    // or anything in between, never bytes from elsewhere.
    const std::string& longest = r.after > r.before ? grown : original;
    EXPECT_EQ(longest.compare(0, stored.size(), stored), 0) << "stored bytes are not the file's";
    EXPECT_GE(stored.size(), std::min(r.before, r.after));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SourceResized,
                         ::testing::Values(Resize{"Grows", 400000, 700000},
                                           Resize{"Shrinks", 400000, 10000},
                                           Resize{"Emptied", 400000, 0}),
                         testsupport::ParamName());

// The front end, run as a user for whom file permissions hold: as root the user 65534 through
// setpriv, who owns the archive's folder `out` (everything else stays root's); otherwise the
// test's own user. Its exit status, or nothing (with the reason in `skip`) when no such user
// can run it here.
std::optional<int> RunToolUnprivileged(const std::string& out, const std::string& arguments,
                                       std::string& output, std::string& skip) {
    const std::string tool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";
    const std::string prefix = testsupport::UnprivilegedCommandPrefix();
    if (IsRoot()) {
        if (!HandOver(out)) {
            skip = "cannot hand the archive's folder to the user 65534";
            return std::nullopt;
        }
        if (Shell(prefix + "true") != 0) {
            skip = "cannot switch to the user 65534 here";
            return std::nullopt;
        }
        if (Shell(prefix + Quote(tool) + " >/dev/null 2>&1; test $? -eq 2") != 0) {
            skip = "the user 65534 cannot run " + tool;
            return std::nullopt;
        }
    }
    return Shell(prefix + "env TMPDIR=" + Quote(out) + " " + Quote(tool) + " --quiet " + arguments,
                 &output);
}

TEST(SourceChange, UnreadableFileIsReportedByNameAndTheRestArchived) {
    Scratch dir;
    WriteFile(dir / "src/readable.txt", "for everyone");
    WriteFile(dir / "src/secret.txt", "for nobody");
    WriteFile(dir / "src/also.txt", "for everyone too");
    ::chmod((dir / "src/secret.txt").c_str(), 0000);
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string archive = dir / "out/archive.cab";
    std::string output, skip;
    const std::optional<int> status = RunToolUnprivileged(
        dir / "out", Quote(archive) + " " + Quote(dir / "src/*.*"), output, skip);
    if (!status)
        GTEST_SKIP() << skip;
    EXPECT_EQ(*status, 1) << output;
    EXPECT_NE(output.find("chyba 25235: Error opening file: " + dir / "src/secret.txt"),
              std::string::npos)
        << output;
    ASSERT_TRUE(CabextractAccepts(archive)) << output;
    EXPECT_EQ(CabextractNames(archive),
              (std::set<std::string>{"src/also.txt", "src/readable.txt"}));
    // The library's temporary files went to the archive's folder and are gone again.
    EXPECT_EQ(Listing(dir / "out"), "archive.cab");
}

// A subfolder whose files the user cannot reach: they are missing from the backup, the walk
// reports the folder, so that the backup is not taken for complete, and the backup of the rest
// takes its place. A folder that may not be read at all, or one that can be listed but not
// entered (it shows its names and nothing else).
struct HiddenFolder {
    const char* name;
    const char* folder;
    mode_t mode;
    const char* told; // besides the folder's path
};

class SourceChangeHiddenFolder : public ::testing::TestWithParam<HiddenFolder> {};

TEST_P(SourceChangeHiddenFolder, IsReportedAndTheRestArchived) {
    Scratch dir;
    const std::string hidden = dir / "src/" + GetParam().folder;
    WriteFile(dir / "src/readable.txt", "for everyone");
    WriteFile(hidden + "/secret.txt", "for nobody");
    ::chmod(hidden.c_str(), GetParam().mode);
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string archive = dir / "out/archive.cab";
    std::string output, skip;
    const std::optional<int> status = RunToolUnprivileged(
        dir / "out", "--recurse " + Quote(archive) + " " + Quote(dir / "src/*.*"), output, skip);
    if (!status)
        GTEST_SKIP() << skip;
    EXPECT_EQ(*status, 1) << "the backup lacks " << hidden << " and says nothing: " << output;
    EXPECT_NE(output.find(GetParam().told), std::string::npos) << output;
    EXPECT_NE(output.find(hidden), std::string::npos) << output;
    // What could be read is backed up all the same.
    ASSERT_TRUE(CabextractAccepts(archive)) << output;
    EXPECT_EQ(CabextractNames(archive), (std::set<std::string>{"src/readable.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, SourceChangeHiddenFolder,
                         ::testing::Values(HiddenFolder{"UnreadableSubfolderIsReported", "locked",
                                                        0700, ""},
                                           HiddenFolder{"FolderThatCannotBeEnteredIsReported",
                                                        "listed", 0744, "chyba 25170"}),
                         testsupport::ParamName());

class DestinationVanishes : public ::testing::TestWithParam<bool> {
protected:
    // Four sources; the destination folder is removed at the first progress event. The
    // temporary folder lies inside the destination or beside it.
    GuardedBuild Build() {
        const bool tempInside = GetParam();
        for (int i = 0; i < 4; ++i)
            WriteFile(dir / ("src/f" + std::to_string(i) + ".bin"), RandomBytes(120000, i));
        const std::string temp = tempInside ? out + "/tmp" : dir / "tmp";
        ::mkdir(out.c_str(), 0755);
        ::mkdir(temp.c_str(), 0755);
        return BuildGuarded(
            [&](TMakeCab& cab) {
                ConfigureForBackup(cab, archive, {dir / "src/*.*"}, false, temp);
                bool removed = false;
                cab.OnProgress = [&, removed](TComponent*, std::uint8_t, std::uint8_t) mutable {
                    if (!removed) {
                        removed = true;
                        RemoveTree(out);
                    }
                };
            },
            60, dir / "reports");
    }

    Scratch dir;
    const std::string out = dir / "out";
    const std::string archive = out + "/archive.cab";
};

TEST_P(DestinationVanishes, IsReportedAndLeavesNothingBehind) {
    const GuardedBuild build = Build();
    ASSERT_GE(build.status, 0) << build.Describe();
    EXPECT_FALSE(build.reports.empty()) << "the lost archive was not reported";
    EXPECT_TRUE(build.Reported(kErrWritingFile, archive) || build.Reported(kErrDiskFull, archive))
        << build.Describe();
    EXPECT_FALSE(Exists(out)) << "the destination came back";
    // Nothing stray: the sources, the report file and (outside the destination) an empty
    // temporary folder are all there is.
    std::string listing;
    Shell("cd " + Quote(dir.Path()) + " && find . | sort", &listing);
    std::string expected = ".\n./reports\n./src\n./src/f0.bin\n./src/f1.bin\n./src/f2.bin\n"
                           "./src/f3.bin\n";
    if (!GetParam())
        expected += "./tmp\n";
    EXPECT_EQ(listing, expected);
}

// No archive was written, so no file counts as added.
TEST_P(DestinationVanishes, CountsNoFiles) {
    const GuardedBuild build = Build();
    EXPECT_EQ(build.status, 0) << build.Describe();
}

INSTANTIATE_TEST_SUITE_P(TemporaryFolder, DestinationVanishes, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "InsideIt" : "Elsewhere");
                         });

} // namespace
} // namespace faults
