// The backup run's guard of the archive series, driven as the window drives it (lock, rotation,
// then a real build) and checked with cabextract: folders with a dot in their name, folders that
// may be written but not listed, and a rotation step that fails. The permission cases run as the
// unprivileged user 65534 when the suite runs as root.
#include "FaultSupport.h"

#include "app/BackupIntoSeries.h"
#include "app/DestinationLock.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faults {
namespace {

// One backup of `source`/*.* into `archive`, as the window runs it; what kept it from building.
std::string BackUp(const std::string& archive, int depth, const std::string& source) {
    return ostrivane::BackUpIntoSeries(archive, depth, [&] {
        TMakeCab cab;
        Configure(cab, archive, {source + "/*.*"}, false);
        cab.Compress();
    });
}

// Runs as the user 65534 from here on; false when this process cannot switch.
bool BecomeUnprivileged() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

// Hands `path` to the user the unprivileged steps run as (nothing to do when not root).
void HandOver(const std::string& path) {
    if (IsRoot()) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0) << path;
    }
}

// The content of `file` in the cabinet `archive`, as cabextract restores it.
std::string Restored(const std::string& archive, const std::string& file) {
    std::string content;
    if (Shell("cabextract -q -p -F " + Quote(file) + " " + Quote(archive), &content) != 0)
        return "<unreadable " + archive + ">";
    return content;
}

// Three runs keeping two copies, each after a change of the source, in a child process (as the
// user 65534 under root); the child's status: 0 when every run wrote its archive.
int ThreeRuns(const std::string& archive, const std::string& source) {
    return RunGuarded(
        [&] {
            if (IsRoot() && !BecomeUnprivileged())
                return 99;
            for (int run = 0; run < 3; ++run) {
                WriteFile(source + "/a.txt", "run " + std::to_string(run));
                if (!BackUp(archive, 2, source).empty())
                    return 10 + run;
            }
            return 0;
        },
        60);
}

void ExpectSeriesOfThreeRuns(const std::string& folder, const std::string& source) {
    const std::string name = source.substr(source.rfind('/') + 1) + "/a.txt";
    EXPECT_EQ(Restored(folder + "/data.cab", name), "run 2");
    EXPECT_EQ(Restored(folder + "/data_1.cab", name), "run 1");
    EXPECT_EQ(Restored(folder + "/data_2.cab", name), "run 0");
}

TEST(Series, ADottedFolderWithAnUnwritableParentKeepsEveryBackup) {
    Scratch dir;
    // /…/home (not writable for the user) / jan.novak / zalohy / data.cab
    const std::string home = dir / "home";
    const std::string user = home + "/jan.novak";
    const std::string folder = user + "/zalohy";
    const std::string source = user + "/data";
    for (const std::string& path : {home, user, folder, source})
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    for (const std::string& path : {user, folder, source})
        HandOver(path);
    if (!IsRoot())
        ::chmod(home.c_str(), 0555);
    ASSERT_EQ(ThreeRuns(folder + "/data.cab", source), 0);
    ::chmod(home.c_str(), 0755);
    ExpectSeriesOfThreeRuns(folder, source);
    std::string beside;
    Shell("ls -A " + Quote(home), &beside);
    EXPECT_EQ(beside, "jan.novak\n");
}

TEST(Series, AFolderThatCanBeWrittenButNotListedKeepsTheSeriesAndIsLocked) {
    Scratch dir;
    const std::string drop = dir / "drop";
    const std::string source = dir / "data";
    ASSERT_EQ(::mkdir(drop.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(source.c_str(), 0755), 0);
    HandOver(source);
    // A drop folder: others may write and search it, but not list it.
    ASSERT_EQ(::chmod(drop.c_str(), IsRoot() ? 01733 : 0333), 0);
    const std::string archive = drop + "/data.cab";
    ASSERT_EQ(ThreeRuns(archive, source), 0);

    // A second copy finds the folder locked and leaves the series alone.
    const int locked = RunGuarded(
        [&] {
            if (IsRoot() && !BecomeUnprivileged())
                return 99;
            const ostrivane::DestinationLock firstCopy(archive);
            if (!firstCopy.Held())
                return 1;
            WriteFile(source + "/a.txt", "run 3");
            return BackUp(archive, 2, source).find("jiná spuštěná kopie") != std::string::npos ? 0
                                                                                               : 2;
        },
        60);
    EXPECT_EQ(locked, 0);
    ::chmod(drop.c_str(), 0755);
    ExpectSeriesOfThreeRuns(drop, source);
    std::string left;
    Shell("ls -A " + Quote(drop), &left);
    EXPECT_EQ(left, "data.cab\ndata_1.cab\ndata_2.cab\n") << "no lock file stays behind";
}

TEST(Series, AFailedRotationStepLosesNothingAndWritesNothing) {
    Scratch dir;
    WriteFile(dir / "data/a.txt", "new");
    WriteFile(dir / "out/data.cab", "the previous backup");
    WriteFile(dir / "out/data_1.cab", "the one before");
    // data_1.cab cannot move along: its next name is taken by a folder.
    ASSERT_EQ(::mkdir((dir / "out/data_2.cab").c_str(), 0755), 0);
    bool built = false;
    const std::string problem =
        ostrivane::BackUpIntoSeries(dir / "out/data.cab", 3, [&] { built = true; });
    EXPECT_FALSE(built);
    EXPECT_NE(problem.find(dir / "out/data_1.cab"), std::string::npos) << problem;
    EXPECT_NE(problem.find("nová záloha nebyla zapsána"), std::string::npos) << problem;
    EXPECT_EQ(ReadFile(dir / "out/data.cab"), "the previous backup");
    EXPECT_EQ(ReadFile(dir / "out/data_1.cab"), "the one before");
}

} // namespace
} // namespace faults
