// A backup in parts placed crash-safe. Every rename, unlink and sync a run makes goes through the
// file-system layer; each one in turn fails (EIO) or ends the process (SIGKILL) in a child that
// runs a backup over a series of four backups in three parts, then an ordinary run follows and
// every generation is read with libarchive: each whole, the series in order, nothing left over.
// A replacement killed at each step leaves the old or the new backup whole; a termination signal
// waits for the placement to end; a set that does not read back whole is never placed.
#include "FaultSupport.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/ArchiveParts.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/RemoveOnTermination.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace faults::placement {
namespace {

using ostrivane::run::BackupRequest;
using testsupport::LibarchiveFiles;

constexpr std::uint32_t kPartSize = 50000; // one 40 KB file a part

// `files` files of 40 KB, each ending with the generation's mark.
void FillSource(const std::string& source, int generation, int files = 3) {
    Shell("rm -rf " + Quote(source));
    for (int i = 0; i < files; ++i)
        WriteFile(source + "/f" + std::to_string(i),
                  RandomBytes(40000, static_cast<std::uint32_t>(generation * 10 + i)) + "gen " +
                      std::to_string(generation));
}

BackupRequest Request(const std::string& archive, const std::string& source, int depth,
                      bool replace = false) {
    BackupRequest request;
    request.Archive = archive;
    request.FileSpec = {source + "/*.*"};
    request.Depth = depth;
    request.PartSize = kPartSize;
    request.ReplaceExisting = replace;
    return request;
}

std::string BackUp(const BackupRequest& request) {
    TMakeCab cab;
    return ostrivane::run::RunBackup(cab, request).Record.Message;
}

// The generation the cabinets `parts` hold, each read with libarchive; -1 unless they hold
// `files` files of one generation, whole.
int GenerationIn(const std::vector<std::string>& parts, int files) {
    std::map<std::string, std::string> all;
    for (const std::string& part : parts) {
        const auto read = LibarchiveFiles(part);
        if (!read)
            return -1;
        all.insert(read->begin(), read->end());
    }
    std::set<std::string> marks;
    for (const auto& [name, bytes] : all)
        marks.insert(bytes.substr(40000));
    if (all.size() != static_cast<std::size_t>(files) || marks.size() != 1 ||
        marks.begin()->rfind("gen ", 0) != 0)
        return -1;
    return std::stoi(marks.begin()->substr(4));
}

// The generation of the backup whose first cabinet is `first`, its parts found by name as any
// reader finds them.
int GenerationOf(const std::string& first, int files = 3) {
    std::vector<std::string> parts;
    const std::string stem = first.substr(0, first.size() - 4);
    for (int part = 1; part <= files + 1; ++part) {
        const std::string cabinet = part == 1 ? first : stem + "-" + std::to_string(part) + ".cab";
        if (Exists(cabinet))
            parts.push_back(cabinet);
    }
    return GenerationIn(parts, files);
}

// The same as our readers take it: the parts of its set, a placement cut short taken as
// finished; -1 unless the set is whole.
int GenerationReadAsSet(const std::string& first, int files = 3) {
    const ostrivane::ArchiveSet set = ostrivane::ReadArchiveSet(first);
    return set.Problems.empty() ? GenerationIn(set.Parts, files) : -1;
}

// What a step does to the run: fails, or ends it.
enum class Fault { Fail, Kill };

// Runs `step` in a child in which the `n`-th rename, unlink or sync (counted from 1) fails with
// EIO or ends the process; the child's status (RunGuarded's). With n = 0 the child counts them
// and ends with their number.
int WithFaultAt(int n, Fault fault, const std::function<void()>& step) {
    return RunGuarded(
        [&] {
            static std::atomic<int> calls{0};
            ostrivane::fs::SetFileCallHook([n, fault](ostrivane::fs::FileCall, const std::string&) {
                if (++calls != n)
                    return 0;
                if (fault == Fault::Kill)
                    ::kill(::getpid(), SIGKILL);
                return EIO;
            });
            step();
            return n == 0 ? std::min(calls.load(), 250) : 0;
        },
        60);
}

// $TMPDIR set to `folder` while it lives, then as it was.
class OwnTempFolder {
public:
    explicit OwnTempFolder(const std::string& folder) {
        if (const char* shared = std::getenv("TMPDIR"))
            shared_ = shared;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~OwnTempFolder() {
        if (shared_)
            ::setenv("TMPDIR", shared_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    OwnTempFolder(const OwnTempFolder&) = delete;
    OwnTempFolder& operator=(const OwnTempFolder&) = delete;

private:
    std::optional<std::string> shared_;
};

// For every call n of `run` (counted in an undisturbed run): the folder `out` afresh as
// `original` was, the source made by `source`, then `run` with a fault at its call n, then
// `check` with a text that names the call.
void ForEveryCall(Fault fault, const std::string& original, const std::string& out,
                  const std::function<void()>& source, const std::function<void()>& run,
                  const std::function<void(const std::string& at)>& check) {
    // The engine's temporary folder is the run's own, emptied before each run: a temporary that
    // a killed run or another test's run left in the shared one would be removed by the next run
    // and change the count of its calls.
    const std::string temp = out + ".tmp";
    const OwnTempFolder ownTemp(temp);
    const auto fresh = [&] {
        Shell("rm -rf " + Quote(out) + " " + Quote(temp) + " && cp -a " + Quote(original) + " " +
              Quote(out) + " && mkdir " + Quote(temp));
        source();
    };
    fresh();
    const int calls = WithFaultAt(0, Fault::Fail, run);
    ASSERT_GT(calls, 10);
    ASSERT_LT(calls, 250);
    for (int n = 1; n <= calls; ++n) {
        const std::string at =
            (fault == Fault::Kill ? "killed at call " : "failed call ") + std::to_string(n);
        fresh();
        EXPECT_EQ(WithFaultAt(n, fault, run), fault == Fault::Kill ? -2 : 0) << at;
        check(at);
    }
}

const char* const kSeries[] = {"data.cab", "data_1.cab", "data_2.cab", "data_3.cab"};

// The folder of a series of four backups, each in three parts, as Series() leaves it.
const char* const kSeriesListing = "data-2.cab data-3.cab data.cab data_1-2.cab data_1-3.cab "
                                   "data_1.cab data_2-2.cab data_2-3.cab data_2.cab data_3-2.cab "
                                   "data_3-3.cab data_3.cab";

// Four generations of `source` backed up in parts into `folder`, keeping three copies: data.cab
// the newest (generation 3).
void Series(const std::string& folder, const std::string& source) {
    ::mkdir(folder.c_str(), 0755);
    for (int generation = 0; generation < 4; ++generation) {
        FillSource(source, generation);
        ASSERT_EQ(BackUp(Request(folder + "/data.cab", source, 3)), "");
    }
    ASSERT_EQ(Listing(folder), kSeriesListing);
}

// The generation of each backup of the series in `folder`, newest first, as `read` finds it.
std::vector<int> SeriesGenerations(const std::string& folder,
                                   int (*read)(const std::string& first, int files)) {
    std::vector<int> generations;
    for (const char* name : kSeries)
        generations.push_back(read(folder + "/" + name, 3));
    return generations;
}

// The scratch folders of a placement test: `original` as the run finds the destination, `out`
// its copy that the run works in, `source` the files backed up and `empty` a source without any.
struct Folders {
    Scratch dir;
    const std::string original = dir / "original";
    const std::string out = dir / "out";
    const std::string source = dir / "src";
    const std::string empty = dir / "empty";
    Folders() {
        ::mkdir(original.c_str(), 0755);
        ::mkdir(empty.c_str(), 0755);
        FillSource(source, 0);
    }
};

TEST(Placement, EveryRenameUnlinkAndSyncOfARunOverASeriesInPartsMayBeItsLast) {
    const Folders f;
    ASSERT_NO_FATAL_FAILURE(Series(f.original, f.source));
    for (const Fault fault : {Fault::Fail, Fault::Kill}) {
        ForEveryCall(
            fault, f.original, f.out, [&] { FillSource(f.source, 4); },
            [&] { BackUp(Request(f.out + "/data.cab", f.source, 3)); },
            [&](const std::string& at) {
                // Before any run finishes what this one left, our readers find every backup
                // whole, the series in order.
                const std::vector<int> read = SeriesGenerations(f.out, GenerationReadAsSet);
                EXPECT_TRUE(read == std::vector<int>({4, 3, 2, 1}) ||
                            read == std::vector<int>({3, 2, 1, 0}))
                    << at << ": " << ::testing::PrintToString(read);
                // An ordinary run; then every generation is whole, the series in order, and the
                // run that failed or was killed either took its place or left none.
                FillSource(f.source, 5);
                EXPECT_EQ(BackUp(Request(f.out + "/data.cab", f.source, 3)), "") << at;
                const std::vector<int> generations = SeriesGenerations(f.out, GenerationOf);
                EXPECT_TRUE(generations == std::vector<int>({5, 4, 3, 2}) ||
                            generations == std::vector<int>({5, 3, 2, 1}))
                    << at << ": " << ::testing::PrintToString(generations);
                // Nothing but the series: no part of a backup gone, no temporary, no record.
                EXPECT_EQ(Listing(f.out), Listing(f.original)) << at;
            });
    }
}

TEST(Placement, AReplacedBackupInPartsIsTheOldOrTheNewOneWholeWhereverTheRunStops) {
    const Folders f;
    const std::string& out = f.out;
    ASSERT_EQ(BackUp(Request(f.original + "/data.cab", f.source, 0, true)), "");
    ForEveryCall(
        // The new backup has a part fewer: the old last part must go too.
        Fault::Kill, f.original, out, [&] { FillSource(f.source, 1, 2); },
        [&] { BackUp(Request(out + "/data.cab", f.source, 0, true)); },
        [&](const std::string& at) {
            // Our readers take the placement cut short as finished: the old or the new whole.
            EXPECT_TRUE(GenerationReadAsSet(out + "/data.cab", 3) == 0 ||
                        GenerationReadAsSet(out + "/data.cab", 2) == 1)
                << "read right after being " << at;
            // A run that has nothing to back up finishes what the killed one left, and no more.
            EXPECT_NE(BackUp(Request(out + "/data.cab", f.empty, 0, true)), "") << at;
            EXPECT_TRUE(ostrivane::ReadArchiveSet(out + "/data.cab").Problems.empty()) << at;
            if (GenerationOf(out + "/data.cab", 2) == 1) {
                EXPECT_EQ(Listing(out), "data-2.cab data.cab") << at;
            } else {
                EXPECT_EQ(GenerationOf(out + "/data.cab", 3), 0) << at;
                EXPECT_EQ(Listing(out), "data-2.cab data-3.cab data.cab") << at;
            }
        });
}

// A second backup named after the date and time in its minute replaces the first and prunes an
// older one beyond the number to keep: killed at each step, once finished by the next run the
// folder holds either everything as it was or the new backup alone.
TEST(Placement, ADateAndTimeBackupKilledAtEachStepReplacesAndPrunesWholeOrNotAtAll) {
    const Folders f;
    const std::string& out = f.out;
    ASSERT_EQ(BackUp(Request(f.original + "/202501010000.cab", f.source, 1)), "");
    FillSource(f.source, 1);
    ASSERT_EQ(BackUp(Request(f.original + "/202601010000.cab", f.source, 1)), "");
    const std::string before = Listing(f.original);
    ForEveryCall(
        Fault::Kill, f.original, out, [&] { FillSource(f.source, 2); },
        [&] { BackUp(Request(out + "/202601010000.cab", f.source, 0)); },
        [&](const std::string& at) {
            BackUp(Request(out + "/202601010000.cab", f.empty, 0));
            if (Listing(out) == before) {
                EXPECT_EQ(GenerationOf(out + "/202501010000.cab"), 0) << at;
                EXPECT_EQ(GenerationOf(out + "/202601010000.cab"), 1) << at;
            } else {
                EXPECT_EQ(Listing(out), "202601010000-2.cab 202601010000-3.cab 202601010000.cab")
                    << at;
                EXPECT_EQ(GenerationOf(out + "/202601010000.cab"), 2) << at;
            }
        });
}

// SIGTERM at the first rename of the placement: the placement ends first, whole, then the
// signal ends the run as it would have.
TEST(Placement, ATerminationSignalWaitsForThePlacementToEnd) {
    Scratch dir;
    const std::string out = dir / "out";
    const std::string source = dir / "src";
    ASSERT_NO_FATAL_FAILURE(Series(out, source));
    FillSource(source, 4);
    const int status = RunGuarded(
        [&] {
            ostrivane::fs::InstallRemoveOnTermination();
            ostrivane::fs::SetFileCallHook([](ostrivane::fs::FileCall call, const std::string&) {
                if (call == ostrivane::fs::FileCall::Rename)
                    ::kill(::getpid(), SIGTERM);
                return 0;
            });
            BackUp(Request(out + "/data.cab", source, 3));
            return 0;
        },
        60);
    EXPECT_EQ(status, -2) << "the signal was lost";
    EXPECT_EQ(SeriesGenerations(out, GenerationOf), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(Listing(out), kSeriesListing);
}

// A part that no longer says where it stands by the time it is read back (here, part 3 put in
// the place of part 2) fails the read-back: the backup is not placed.
TEST(Placement, ASetThatDoesNotReadBackWholeIsNeverPlaced) {
    Scratch dir;
    const std::string out = dir / "out";
    const std::string source = dir / "src";
    ::mkdir(out.c_str(), 0755);
    FillSource(source, 0);
    ASSERT_EQ(BackUp(Request(out + "/data.cab", source, 2)), "");
    FillSource(source, 1);
    TMakeCab cab;
    cab.OnVerifyProgress = [&cab](TComponent*, std::uint8_t percent) {
        const auto& parts = cab.WrittenCabinets();
        if (percent == 0 && parts.size() == 3)
            std::filesystem::copy_file(parts[2], parts[1],
                                       std::filesystem::copy_options::overwrite_existing);
    };
    const auto outcome = ostrivane::run::RunBackup(cab, Request(out + "/data.cab", source, 2));
    EXPECT_NE(outcome.Record.Message.find("místo část 2 z 3 obsahuje část 3 této zálohy"),
              std::string::npos)
        << outcome.Record.Message;
    EXPECT_EQ(GenerationOf(out + "/data.cab"), 0);
    EXPECT_EQ(Listing(out), "data-2.cab data-3.cab data.cab");
}

} // namespace
} // namespace faults::placement
