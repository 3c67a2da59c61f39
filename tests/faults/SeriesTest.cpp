// The backup run's guard of the archive series, driven as the window drives it (lock, build,
// rotation, placing) and checked with cabextract: folders with a dot in their name, folders that
// may be written but not listed, a rotation step that fails, and a part name taken by another
// file. The permission cases run as the unprivileged user 65534 when the suite runs as root.
#include "FaultSupport.h"

#include "app/run/DestinationLock.h"
#include "archive/model/ErrorCodes.h"
#include "platform/fs/Paths.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faults {
namespace {

// One backup of `source`/*.* into `archive`, as the window runs it (with cabinets of at most
// `partSize` bytes); what the user is told, empty when all went well.
std::string BackUp(const std::string& archive, int depth, const std::string& source,
                   std::uint32_t partSize = 0x7FFFFFFF) {
    TMakeCab cab;
    ostrivane::run::BackupRequest request;
    request.Archive = archive;
    request.FileSpec = {source + "/*.*"};
    request.Depth = depth;
    request.PartSize = partSize;
    return ostrivane::run::RunBackup(cab, request).Record.Message;
}

// Three runs keeping two copies, each after a change of the source, in a child process (as the
// user 65534 under root); the child's status: 0 when every run wrote its archive.
int ThreeRuns(const std::string& archive, const std::string& source) {
    return RunUnprivileged(
        [&] {
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
    const std::string name = ostrivane::fs::NameOf(source) + "/a.txt";
    EXPECT_EQ(CabextractFile(folder + "/data.cab", name), "run 2");
    EXPECT_EQ(CabextractFile(folder + "/data_1.cab", name), "run 1");
    EXPECT_EQ(CabextractFile(folder + "/data_2.cab", name), "run 0");
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
        ASSERT_TRUE(HandOver(path)) << path;
    if (!IsRoot())
        ::chmod(home.c_str(), 0555);
    ASSERT_EQ(ThreeRuns(folder + "/data.cab", source), 0);
    ::chmod(home.c_str(), 0755);
    ExpectSeriesOfThreeRuns(folder, source);
    EXPECT_EQ(Listing(home), "jan.novak");
}

TEST(Series, AFolderThatCanBeWrittenButNotListedKeepsTheSeriesAndIsLocked) {
    Scratch dir;
    const std::string drop = dir / "drop";
    const std::string source = dir / "data";
    ASSERT_EQ(::mkdir(drop.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(source.c_str(), 0755), 0);
    ASSERT_TRUE(HandOver(source)) << source;
    // A drop folder: others may write and search it, but not list it.
    ASSERT_EQ(::chmod(drop.c_str(), IsRoot() ? 01733 : 0333), 0);
    const std::string archive = drop + "/data.cab";
    ASSERT_EQ(ThreeRuns(archive, source), 0);

    // A second copy finds the folder locked and leaves the series alone.
    const int locked = RunUnprivileged(
        [&] {
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
    EXPECT_EQ(Listing(drop), "data.cab data_1.cab data_2.cab") << "no lock file stays behind";
}

// A step of the rotation that cannot be made (a name taken by a folder), or a link in the series,
// which is never moved or deleted: the run stops before anything moves and the new backup does
// not take the archive's place.
TEST(Series, ARotationThatCannotBeMadeLosesNothingAndPlacesNothing) {
    struct Case {
        int depth;
        bool link;
        std::string told;
    };
    for (const Case& c : {Case{3, false, "data_1.cab nelze posunout"},
                          Case{2, true, "data_2.cab je symbolický odkaz"}}) {
        Scratch dir;
        WriteFile(dir / "data/a.txt", "new");
        WriteFile(dir / "out/data.cab", "the previous backup");
        WriteFile(dir / "out/data_1.cab", "the one before");
        WriteFile(dir / "elsewhere.txt", "not a backup");
        // data_1.cab cannot move along: its next name is taken by a folder, or is a link.
        ASSERT_EQ(c.link
                      ? ::symlink((dir / "elsewhere.txt").c_str(), (dir / "out/data_2.cab").c_str())
                      : ::mkdir((dir / "out/data_2.cab").c_str(), 0755),
                  0);
        const std::string problem = BackUp(dir / "out/data.cab", c.depth, dir / "data");
        EXPECT_NE(problem.find(c.told), std::string::npos) << problem;
        EXPECT_NE(problem.find("nová záloha nebyla zapsána"), std::string::npos) << problem;
        EXPECT_EQ(ReadFile(dir / "out/data.cab"), "the previous backup");
        EXPECT_EQ(ReadFile(dir / "out/data_1.cab"), "the one before");
        EXPECT_EQ(ReadFile(dir / "elsewhere.txt"), "not a backup");
        EXPECT_EQ(::access((dir / "out/data_2.cab").c_str(), F_OK), 0);
        EXPECT_EQ(Listing(dir / "out"), "data.cab data_1.cab data_2.cab")
            << "the new cabinets stayed";
    }
}

// Backups in parts move along the series with all their parts; a smaller backup after a larger
// one leaves no part of the larger behind.
TEST(Series, BackupsInPartsMoveWithAllTheirPartsAndLeaveNoStalePart) {
    Scratch dir;
    const std::string out = dir / "out";
    ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
    const std::string archive = out + "/data.cab";
    constexpr std::uint32_t kPart = 100000; // one 60 KB file a part
    for (int run = 0; run < 4; ++run) {
        const int files = run < 2 ? 3 : 1;
        Shell("rm -rf " + Quote(dir / "src"));
        for (int i = 0; i < files; ++i)
            WriteFile(dir / ("src/f" + std::to_string(i)),
                      "run " + std::to_string(run) + RandomBytes(60000, run * 10 + i));
        ASSERT_EQ(BackUp(archive, 2, dir / "src", kPart), "") << "run " << run;
    }
    std::string names;
    Shell("ls " + Quote(out), &names);
    EXPECT_EQ(names, "data.cab\ndata_1.cab\ndata_2-2.cab\ndata_2-3.cab\ndata_2.cab\n");
    // The oldest kept is the second run, whole, each part a cabinet of its own.
    std::set<std::string> stored;
    for (const std::string part : {"data_2.cab", "data_2-2.cab", "data_2-3.cab"}) {
        EXPECT_EQ(ReadersAccept(out + "/" + part), "") << part;
        for (const std::string& name : CabextractNames(out + "/" + part)) {
            stored.insert(name);
            EXPECT_EQ(CabextractFile(out + "/" + part, name).substr(0, 5), "run 1") << part;
        }
    }
    EXPECT_EQ(stored, (std::set<std::string>{"src/f0", "src/f1", "src/f2"}));
    EXPECT_EQ(CabextractFile(archive, "src/f0").substr(0, 5), "run 3");
    EXPECT_EQ(CabextractFile(out + "/data_1.cab", "src/f0").substr(0, 5), "run 2");
}

// Writes `files` files of 60 KB into `archive`, 100 KB a part; the reports.
std::vector<Report> BuildInParts(const std::string& archive, const std::string& source, int files) {
    Shell("rm -rf " + Quote(source));
    for (int i = 0; i < files; ++i)
        WriteFile(source + "/f" + std::to_string(i), RandomBytes(60000, i));
    TMakeCab cab;
    Reports reports(cab);
    ConfigureForBackup(cab, archive, {source + "/*.*"}, false, "");
    cab.PartSize = 100000;
    cab.Compress();
    return reports.All();
}

TEST(Series, ABackupWrittenOverALargerSetLeavesNoPartOfIt) {
    Scratch dir;
    ::mkdir((dir / "out").c_str(), 0755);
    EXPECT_TRUE(BuildInParts(dir / "out/data.cab", dir / "src", 3).empty());
    EXPECT_TRUE(Exists(dir / "out/data-3.cab"));
    EXPECT_TRUE(BuildInParts(dir / "out/data.cab", dir / "src", 1).empty());
    std::string names;
    Shell("ls " + Quote(dir / "out"), &names);
    EXPECT_EQ(names, "data.cab\n");
}

TEST(Series, APartNameTakenByAnotherFileIsNeverWrittenOver) {
    Scratch dir;
    WriteFile(dir / "out/data-2.cab", "somebody else's file");
    const std::vector<Report> reports = BuildInParts(dir / "out/data.cab", dir / "src", 3);
    EXPECT_EQ(ReadFile(dir / "out/data-2.cab"), "somebody else's file");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0].Code, kErrWritingFile);
    EXPECT_EQ(reports[0].FileName, dir / "out/data-2.cab");
    // What fitted the first part is there; the rest was refused and reported.
    EXPECT_EQ(CabextractNames(dir / "out/data.cab").size(), 1u);
}

// Through the run the part name is found taken before anything moves: the series stays as it was.
TEST(Series, APartNameTakenByAnotherFileStopsTheRunBeforeTheSeriesMoves) {
    Scratch dir;
    for (int i = 0; i < 3; ++i)
        WriteFile(dir / ("src/f" + std::to_string(i)), RandomBytes(60000, i));
    WriteFile(dir / "out/data.cab", "the previous backup");
    WriteFile(dir / "out/data-2.cab", "somebody else's file");
    const std::string problem = BackUp(dir / "out/data.cab", 2, dir / "src", 100000);
    EXPECT_NE(problem.find("Název části zálohy " + dir / "out/data-2.cab" + " patří jinému"),
              std::string::npos)
        << problem;
    EXPECT_EQ(ReadFile(dir / "out/data.cab"), "the previous backup");
    EXPECT_EQ(ReadFile(dir / "out/data-2.cab"), "somebody else's file");
    EXPECT_EQ(Listing(dir / "out"), "data-2.cab data.cab");
}

// A file moved on to the next part is read again from its start; the archive's progress still
// covers the whole set once, not a file read twice.
TEST(Series, ProgressCoversTheWholeSetOnce) {
    Scratch dir;
    for (int i = 0; i < 4; ++i)
        WriteFile(dir / ("src/f" + std::to_string(i)), RandomBytes(60000, i));
    TMakeCab cab;
    Reports reports(cab);
    ConfigureForBackup(cab, dir / "out.cab", {dir / "src/*.*"}, false, "");
    cab.PartSize = 100000;
    std::vector<int> atBegin;
    int last = 0;
    cab.OnBegin = [&](TComponent*, const std::string&, int, bool&) { atBegin.push_back(last); };
    cab.OnProgress = [&](TComponent*, std::uint8_t, std::uint8_t byArchive) { last = byArchive; };
    EXPECT_EQ(cab.Compress(), 4) << reports.Describe();
    ASSERT_EQ(atBegin.size(), 4u);
    EXPECT_EQ(atBegin, (std::vector<int>{0, 25, 50, 75}));
    EXPECT_EQ(last, 100);
}

} // namespace
} // namespace faults
