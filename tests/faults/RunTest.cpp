// The one backup run, driven on a component as the window drives it and checked with the
// independent readers: a run that fails or is cancelled midway (from its own thread or from
// another, at any moment) keeps the series as it was and leaves nothing behind; a link where the
// archive goes is left alone; a file changed while it was read is told while the backup takes its
// place; archives of one stem keep their own parts; archives named after the date and time are kept
// to the number asked for.
#include "FaultSupport.h"

#include "app/run/RunHistory.h"
#include "archive/model/ErrorCodes.h"
#include "archive/naming/ArchiveNames.h"
#include "cabinet/component/LastError.h"
#include "cabinet/format/ArchiveParts.h"
#include "platform/fci/fci.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <thread>

namespace faults {
namespace {

using ostrivane::run::BackupRequest;
using ostrivane::run::RunOutcome;
using ostrivane::run::RunResult;

BackupRequest Request(const std::string& archive, const std::string& source, int depth,
                      const std::string& temp = "") {
    BackupRequest request;
    request.Archive = archive;
    request.FileSpec = {source + "/*.*"};
    request.Depth = depth;
    request.TempDir = temp;
    return request;
}

RunOutcome BackUp(const BackupRequest& request) {
    ::mkdir(ostrivane::names::FolderOf(request.Archive).c_str(), 0755);
    TMakeCab cab;
    return ostrivane::run::RunBackup(cab, request);
}

// The content of `file` in the backup whose first cabinet is `archive`, from whichever part.
std::string RestoredFromSet(const std::string& archive, const std::string& file) {
    for (const std::string& part : ostrivane::ArchiveSetParts(archive)) {
        if (CabextractNames(part).count(file) != 0)
            return CabextractFile(part, file);
    }
    return "<not in " + archive + ">";
}

// Serves the library as usual until `budget` bytes have gone to the run's cabinets; then every
// write to them fails as on a full disk.
class FullDisk : public TStreamCabinetFileHandler {
public:
    std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                         int Reserved) override {
        const std::int32_t handle =
            TStreamCabinetFileHandler::CabOpen(FileName, OFlag, PMode, Err, Reserved);
        if (handle >= 0 && ostrivane::names::IsRunTemporary(ostrivane::names::NameOf(FileName)))
            cabinets_.insert(handle);
        return handle;
    }
    std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                           int& Err) override {
        if (cabinets_.count(Handle) == 0 || written_ + Count <= kBudget) {
            const std::uint32_t n = TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
            written_ += cabinets_.count(Handle) != 0 ? n : 0;
            return n;
        }
        ++failures;
        Err = kErrorDiskFull;
        return 0;
    }

    int failures = 0;

private:
    static constexpr std::size_t kBudget = 200000;
    std::set<std::int32_t> cabinets_;
    std::size_t written_ = 0;
};

enum class Interruption { DiskFull, Cancel };

void PrintTo(Interruption i, std::ostream* os) {
    *os << (i == Interruption::DiskFull ? "DiskFull" : "Cancel");
}

class Interrupted : public ::testing::TestWithParam<Interruption> {};

TEST_P(Interrupted, ARunThatDoesNotCompleteKeepsTheSeriesAndLeavesNothingBehind) {
    Scratch dir;
    ::mkdir((dir / "tmp").c_str(), 0755);
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string archive = dir / "out/data.cab";
    for (int run = 0; run < 2; ++run) {
        for (int i = 0; i < 3; ++i)
            WriteFile(dir / ("src/f" + std::to_string(i)),
                      "run " + std::to_string(run) + RandomBytes(300000, run * 3 + i));
        const RunOutcome outcome = BackUp(Request(archive, dir / "src", 2, dir / "tmp"));
        ASSERT_EQ(outcome.Record.Result, RunResult::Ok) << outcome.Record.Message;
    }
    const std::string newest = ReadFile(archive);
    const std::string older = ReadFile(dir / "out/data_1.cab");

    TMakeCab cab;
    auto handler = std::make_unique<FullDisk>();
    FullDisk& fullDisk = *handler;
    if (GetParam() == Interruption::DiskFull)
        cab.FileHandler = std::move(handler);
    else
        cab.OnProgress = [&cab](TComponent*, std::uint8_t, std::uint8_t) { cab.SetCancel(true); };
    const RunOutcome outcome =
        ostrivane::run::RunBackup(cab, Request(archive, dir / "src", 2, dir / "tmp"));

    if (GetParam() == Interruption::DiskFull) {
        ASSERT_GT(fullDisk.failures, 0) << "the disk never filled";
        EXPECT_EQ(outcome.Record.Result, RunResult::Failed);
        EXPECT_NE(outcome.Record.Message.find("Disk je plný (25160): " + archive),
                  std::string::npos)
            << outcome.Record.Message;
    } else {
        EXPECT_EQ(outcome.Record.Result, RunResult::Cancelled);
        EXPECT_EQ(outcome.Record.Message, "Zrušeno uživatelem")
            << "a cancel is the user's own, and said so";
    }
    EXPECT_EQ(outcome.Record.Files, 0);
    EXPECT_EQ(ReadFile(archive), newest);
    EXPECT_EQ(ReadFile(dir / "out/data_1.cab"), older);
    EXPECT_EQ(ReadersAccept(archive), "");
    EXPECT_EQ(CabextractFile(dir / "out/data_1.cab", "src/f0").substr(0, 5), "run 0");
    EXPECT_EQ(Listing(dir / "out"), "data.cab data_1.cab");
    EXPECT_EQ(Listing(dir / "tmp"), "");
}

INSTANTIATE_TEST_SUITE_P(Midway, Interrupted,
                         ::testing::Values(Interruption::DiskFull, Interruption::Cancel),
                         [](const ::testing::TestParamInfo<Interruption>& info) {
                             return std::string(info.param == Interruption::DiskFull ? "DiskFull"
                                                                                     : "Cancel");
                         });

// The window cancels from its own thread while the run goes on another, with a flag of its own
// that the engine never clears: whenever the cancel comes (before the run, during the lock, the
// scan, the packing, the read-back, or too late), the run is either cancelled with the series as
// it was, or complete with the series moved along; nothing is left behind.
TEST(CancelFromAnotherThread, AtAnyMomentTheSeriesStaysWholeOrMovesAlong) {
    Scratch dir;
    ::mkdir((dir / "tmp").c_str(), 0755);
    const std::string archive = dir / "out/data.cab";
    for (int i = 0; i < 3; ++i)
        WriteFile(dir / ("src/f" + std::to_string(i)), RandomBytes(1500000, i));
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(BackUp(Request(archive, dir / "src", 1, dir / "tmp")).Record.Result,
                  RunResult::Ok);
    std::string newest = ReadFile(archive);
    std::string older = ReadFile(dir / "out/data_1.cab");

    int cancelled = 0;
    for (const int delayMs : {-1, 0, 1, 3, 10, 30, 100, 1000}) {
        SCOPED_TRACE("cancel after " + std::to_string(delayMs) + " ms");
        std::atomic<bool> cancel{delayMs < 0};
        TMakeCab cab;
        cab.UseCancelFlag(&cancel);
        RunOutcome outcome;
        std::thread run([&] {
            outcome = ostrivane::run::RunBackup(cab, Request(archive, dir / "src", 1, dir / "tmp"));
        });
        if (delayMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            cancel = true;
        }
        run.join();
        EXPECT_TRUE(cancel) << "the engine cleared the caller's flag";
        if (outcome.Record.Result == RunResult::Ok) {
            EXPECT_EQ(ReadFile(dir / "out/data_1.cab"), newest);
            older = newest;
            newest = ReadFile(archive);
            EXPECT_EQ(ReadersAccept(archive), "");
        } else {
            ++cancelled;
            EXPECT_EQ(outcome.Record.Result, RunResult::Cancelled) << outcome.Record.Message;
            EXPECT_EQ(ReadFile(archive), newest);
            EXPECT_EQ(ReadFile(dir / "out/data_1.cab"), older);
        }
        if (delayMs <= 0) {
            EXPECT_EQ(outcome.Record.Result, RunResult::Cancelled)
                << "a cancel before the build was lost";
        }
        EXPECT_EQ(Listing(dir / "out"), "data.cab data_1.cab");
        EXPECT_EQ(Listing(dir / "tmp"), "");
    }
    EXPECT_GE(cancelled, 2);
}

// Every run goes into the history of runs; a history that cannot be written never fails one.
TEST(OneRun, TheRunIsRecordedAndAHistoryThatCannotBeWrittenFailsNothing) {
    Scratch dir;
    WriteFile(dir / "src/a.txt", "first");
    BackupRequest request = Request(dir / "out/data.cab", dir / "src", 2);
    request.HistoryFolder = dir / "state";
    const RunOutcome recorded = BackUp(request);
    ASSERT_EQ(recorded.Record.Result, RunResult::Ok) << recorded.Record.Message;
    EXPECT_TRUE(recorded.HistoryWritten);
    const auto runs = ostrivane::run::RunHistory(dir / "state").Read();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Result, RunResult::Ok);
    EXPECT_EQ(runs[0].Archive, dir / "out/data.cab");
    EXPECT_EQ(runs[0].Files, 1);
    EXPECT_EQ(runs[0].ArchiveBytes,
              static_cast<std::uint64_t>(ReadFile(dir / "out/data.cab").size()));

    WriteFile(dir / "blocked", "a file where the state folder's parent should be");
    request.HistoryFolder = dir / "blocked/state";
    const RunOutcome unrecorded = BackUp(request);
    EXPECT_EQ(unrecorded.Record.Result, RunResult::Ok) << unrecorded.Record.Message;
    EXPECT_FALSE(unrecorded.HistoryWritten);
    EXPECT_EQ(Listing(dir / "out"), "data.cab data_1.cab");
}

TEST(OneRun, ALinkWhereTheArchiveGoesIsLeftAloneAndTheRunFails) {
    Scratch dir;
    WriteFile(dir / "src/a.txt", "new");
    WriteFile(dir / "elsewhere/data.cab", "not to be touched");
    ::mkdir((dir / "out").c_str(), 0755);
    ASSERT_EQ(::symlink((dir / "elsewhere/data.cab").c_str(), (dir / "out/data.cab").c_str()), 0);
    const RunOutcome outcome = BackUp(Request(dir / "out/data.cab", dir / "src", 2));
    EXPECT_EQ(outcome.Record.Result, RunResult::Failed);
    EXPECT_NE(outcome.Record.Message.find("Na místě archívu " + dir / "out/data.cab" +
                                          " je symbolický odkaz"),
              std::string::npos)
        << outcome.Record.Message;
    EXPECT_EQ(ReadFile(dir / "elsewhere/data.cab"), "not to be touched");
    char target[512] = {};
    ASSERT_GT(::readlink((dir / "out/data.cab").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), dir / "elsewhere/data.cab");
    EXPECT_EQ(Listing(dir / "out"), "data.cab");
}

// A file rewritten while the library reads it may be stored torn, which the read-back cannot
// see (it compares with the bytes read): it is told by name, and the backup of the rest still
// takes its place.
TEST(OneRun, AFileChangedWhileItWasReadIsToldAndTheBackupPlaced) {
    Scratch dir;
    const std::string changing = dir / "src/changing.bin";
    WriteFile(changing, RandomBytes(2 << 20, 1));
    WriteFile(dir / "src/steady.txt", "steady");
    ::mkdir((dir / "out").c_str(), 0755);
    TMakeCab cab;
    bool changed = false;
    cab.OnProgress = [&](TComponent*, std::uint8_t byFile, std::uint8_t) {
        if (changed || cab.CurrentEntry.StoredName != "src/changing.bin" || byFile == 100)
            return;
        changed = true;
        WriteFile(changing, RandomBytes(3 << 20, 2));
    };
    const RunOutcome outcome =
        ostrivane::run::RunBackup(cab, Request(dir / "out/data.cab", dir / "src", 1));
    ASSERT_TRUE(changed) << "the file was never read";
    EXPECT_EQ(outcome.Record.Result, RunResult::Failed);
    EXPECT_NE(outcome.Record.Message.find("byla uložena, ale není úplná"), std::string::npos);
    EXPECT_NE(outcome.Record.Message.find("Soubor se změnil během čtení (25184): " + changing),
              std::string::npos)
        << outcome.Record.Message;
    EXPECT_EQ(ReadersAccept(dir / "out/data.cab"), "");
    EXPECT_EQ(CabextractFile(dir / "out/data.cab", "src/steady.txt"), "steady");
}

// data.monday.cab and data.tuesday.cab share the series stem "data", but not their parts.
TEST(OneRun, TwoArchivesOfOneStemKeepTheirOwnParts) {
    Scratch dir;
    for (const auto& [day, files] : {std::pair<std::string, int>{"monday", 3}, {"tuesday", 2}}) {
        Shell("rm -rf " + Quote(dir / "src"));
        for (int i = 0; i < files; ++i)
            WriteFile(dir / ("src/f" + std::to_string(i)), day + RandomBytes(60000, i));
        BackupRequest request = Request(dir / ("out/data." + day + ".cab"), dir / "src", 1);
        request.PartSize = 100000;
        const RunOutcome outcome = BackUp(request);
        ASSERT_EQ(outcome.Record.Result, RunResult::Ok) << outcome.Record.Message;
        EXPECT_EQ(outcome.Record.Parts, files);
    }
    EXPECT_EQ(Listing(dir / "out"), "data.monday-2.cab data.monday-3.cab data.monday.cab "
                                    "data.tuesday-2.cab data.tuesday.cab");
    for (const auto& [day, files] : {std::pair<std::string, int>{"monday", 3}, {"tuesday", 2}}) {
        const std::vector<std::string> parts =
            ostrivane::ArchiveSetParts(dir / ("out/data." + day + ".cab"));
        ASSERT_EQ(parts.size(), static_cast<std::size_t>(files)) << day;
        for (const std::string& part : parts) {
            EXPECT_EQ(ReadersAccept(part), "") << part;
            for (const std::string& name : CabextractNames(part))
                EXPECT_EQ(CabextractFile(part, name).substr(0, day.size()), day) << part;
        }
    }
}

// Four scheduled runs keeping two earlier archives, each backup in two parts, then a second run
// in the same minute: the three newest backups remain, the last replaced whole.
TEST(OneRun, ArchivesNamedAfterTheDateAndTimeAreKeptToTheNumberAsked) {
    Scratch dir;
    WriteFile(dir / "out/notes.cab", "not a backup of this kind");
    const std::vector<std::string> moments = {"202601050800", "202601060800", "202601070800",
                                              "202601080800", "202601080800"};
    for (std::size_t run = 0; run < moments.size(); ++run) {
        for (int i = 0; i < 2; ++i)
            WriteFile(dir / ("src/f" + std::to_string(i)),
                      "run " + std::to_string(run) + RandomBytes(60000, i));
        BackupRequest request = Request(dir / ("out/" + moments[run]), dir / "src", 2);
        request.Origin = ostrivane::run::RunOrigin::Scheduled;
        request.PartSize = 100000;
        const RunOutcome outcome = BackUp(request);
        ASSERT_EQ(outcome.Record.Result, RunResult::Ok) << outcome.Record.Message;
        EXPECT_EQ(outcome.Record.Archive, dir / ("out/" + moments[run] + ".cab"));
    }
    EXPECT_EQ(Listing(dir / "out"),
              "202601060800-2.cab 202601060800.cab 202601070800-2.cab 202601070800.cab "
              "202601080800-2.cab 202601080800.cab notes.cab");
    for (const std::string f : {"src/f0", "src/f1"}) {
        EXPECT_EQ(RestoredFromSet(dir / "out/202601080800.cab", f).substr(0, 5), "run 4");
        EXPECT_EQ(RestoredFromSet(dir / "out/202601070800.cab", f).substr(0, 5), "run 2");
        EXPECT_EQ(RestoredFromSet(dir / "out/202601060800.cab", f).substr(0, 5), "run 1");
    }
}

} // namespace
} // namespace faults
