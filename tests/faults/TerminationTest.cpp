// A backup ended by a signal (a cron job stopped, a session logging out) leaves neither the
// build's temporary files nor a half-written cabinet behind, and never costs an earlier backup;
// what a run killed outright leaves, the next run removes.
#include "FaultSupport.h"

#include "platform/fs/RemoveOnTermination.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace faults {
namespace {

const std::string kTool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";

// The front end backing up `source`/*.* into `archive` keeping one earlier archive, with its
// temporary files in `temp`; the child's process id.
pid_t StartBackup(const std::string& archive, const std::string& source, const std::string& temp) {
    const std::string tmp = "TMPDIR=" + temp;
    const std::string sources = source + "/*.*";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::putenv(const_cast<char*>(tmp.c_str()));
        ::execl(kTool.c_str(), kTool.c_str(), "--quiet", "--threads", "1", "--keep", "1",
                archive.c_str(), sources.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// Waits (at most ten seconds) until a file whose name begins with `prefix` and holds data is in
// `folder`.
bool WaitForFile(const std::string& folder, const std::string& prefix) {
    for (int i = 0; i < 10000; ++i) {
        if (DIR* dir = ::opendir(folder.c_str())) {
            bool found = false;
            while (const dirent* e = ::readdir(dir)) {
                struct stat info {};
                found = found ||
                        (std::string(e->d_name).rfind(prefix, 0) == 0 &&
                         ::fstatat(::dirfd(dir), e->d_name, &info, 0) == 0 && info.st_size > 0);
            }
            ::closedir(dir);
            if (found)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Two earlier backups of a small source, made by the front end, then a large source.
struct Series {
    Scratch dir;
    const std::string archive = dir / "out/archive.cab";
    std::string newest, older;

    Series() {
        ::mkdir((dir / "tmp").c_str(), 0755);
        ::mkdir((dir / "out").c_str(), 0755);
        for (int run = 0; run < 2; ++run) {
            WriteFile(dir / "src/small.txt", "run " + std::to_string(run));
            EXPECT_EQ(Shell(Quote(kTool) + " --quiet --keep 1 " + Quote(archive) + " " +
                            Quote(dir / "src/*.*")),
                      0);
        }
        newest = ReadFile(archive);
        older = ReadFile(dir / "out/archive_1.cab");
        WriteFile(dir / "src/big.bin", RandomBytes(48 << 20, 5));
    }
    void ExpectUnchanged() {
        EXPECT_EQ(ReadFile(archive), newest);
        EXPECT_EQ(ReadFile(dir / "out/archive_1.cab"), older);
        EXPECT_EQ(ReadersAccept(archive), "");
        EXPECT_EQ(ReadersAccept(dir / "out/archive_1.cab"), "");
    }
};

TEST(Termination, TheFrontEndStoppedBySigtermKeepsTheSeriesAndRemovesItsTemporaryFiles) {
    Series series;
    Scratch& dir = series.dir;
    const pid_t pid = StartBackup(series.archive, dir / "src", dir / "tmp");
    ASSERT_GE(pid, 0);
    // Stopped as soon as the build has made its temporary files.
    const bool started = WaitForFile(dir / "tmp", "vrk");
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(started);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM)
        << "the build ended before the signal came, status " << status;
    EXPECT_EQ(Listing(dir / "tmp"), "");
    EXPECT_EQ(Listing(dir / "out"), "archive.cab archive_1.cab");
    series.ExpectUnchanged();
}

// SIGKILL leaves what it leaves: the library's temporary files while it packs, the new cabinet
// under its temporary name once it is written. The series is untouched either way, and the next
// run removes what the killed ones left.
TEST(Termination, AfterRunsKilledMidwayTheSeriesStandsAndTheNextRunLeavesNothing) {
    Series series;
    Scratch& dir = series.dir;
    for (const std::string& sign : {std::string("vrk"), std::string(".ostrivane-")}) {
        const std::string folder = sign == "vrk" ? dir / "tmp" : dir / "out";
        const pid_t pid = StartBackup(series.archive, dir / "src", dir / "tmp");
        ASSERT_GE(pid, 0);
        const bool reached = WaitForFile(folder, sign);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(reached && WIFSIGNALED(status)) << sign << ": status " << status;
        EXPECT_NE(Listing(folder).find(sign), std::string::npos) << "nothing was left to remove";
        series.ExpectUnchanged();
    }
    // An empty temporary file just made is left alone for a moment, as its maker may not have
    // locked it yet.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    WriteFile(dir / "src/big.bin", "small now");
    std::string output;
    ASSERT_EQ(Shell("TMPDIR=" + Quote(dir / "tmp") + " " + Quote(kTool) + " --quiet --keep 1 " +
                        Quote(series.archive) + " " + Quote(dir / "src/*.*"),
                    &output),
              0)
        << output;
    EXPECT_EQ(Listing(dir / "tmp"), "");
    EXPECT_EQ(Listing(dir / "out"), "archive.cab archive_1.cab");
    EXPECT_EQ(ReadFile(dir / "out/archive_1.cab"), series.newest);
}

// Serves the library as usual, but the process gets SIGTERM in the middle of writing the
// cabinet.
class StoppedWhileWritingTheCabinet : public TStreamCabinetFileHandler {
public:
    explicit StoppedWhileWritingTheCabinet(std::string archive) : archive_(std::move(archive)) {}

    std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                         int Reserved) override {
        const std::int32_t handle =
            TStreamCabinetFileHandler::CabOpen(FileName, OFlag, PMode, Err, Reserved);
        if (FileName == archive_)
            cabinet_ = handle;
        return handle;
    }
    std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                           int& Err) override {
        const std::uint32_t n = TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
        if (Handle == cabinet_)
            ::raise(SIGTERM);
        return n;
    }

private:
    std::string archive_;
    std::int32_t cabinet_ = -1;
};

TEST(Termination, ACabinetHalfWrittenWhenASignalCameIsRemoved) {
    Scratch dir;
    for (int i = 0; i < 3; ++i)
        WriteFile(dir / ("src/f" + std::to_string(i) + ".bin"), RandomBytes(100000, i));
    ::mkdir((dir / "tmp").c_str(), 0755);
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string archive = dir / "out/archive.cab";
    const int status = RunGuarded(
        [&] {
            ostrivane::fs::InstallRemoveOnTermination();
            TMakeCab cab;
            ConfigureForBackup(cab, archive, {dir / "src/*.*"}, false, dir / "tmp");
            cab.FileHandler = std::make_unique<StoppedWhileWritingTheCabinet>(archive);
            cab.Compress();
            return 0;
        },
        60);
    EXPECT_EQ(status, -2) << "the build was not ended by the signal";
    EXPECT_EQ(Listing(dir / "out"), "");
    EXPECT_EQ(Listing(dir / "tmp"), "");
}

// Serves the library as usual, but the process gets SIGTERM when the library creates its
// `stopAt`-th cabinet in `folder`.
class StoppedAtAPart : public TStreamCabinetFileHandler {
public:
    StoppedAtAPart(std::string folder, int stopAt) : folder_(std::move(folder)), stopAt_(stopAt) {}

    std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                         int Reserved) override {
        if ((OFlag & FCI_O_CREAT) != 0 && FileName.rfind(folder_ + "/", 0) == 0 &&
            ++created_ == stopAt_)
            ::raise(SIGTERM);
        return TStreamCabinetFileHandler::CabOpen(FileName, OFlag, PMode, Err, Reserved);
    }

private:
    std::string folder_;
    int stopAt_;
    int created_ = 0;
};

// SIGTERM after a backup has written 80 parts, through the backup run (its cabinets under
// temporary names) and through the component alone (under the archive's names): every cabinet
// and every temporary file goes, however many there are.
TEST(Termination, EveryFileOfABuildStoppedBySignalGoesHoweverManyPartsItHas) {
    Scratch dir;
    for (int i = 0; i < 100; ++i)
        WriteFile(dir / ("src/f" + std::to_string(i)), RandomBytes(3000, i));
    for (const bool throughTheRun : {true, false}) {
        ::mkdir((dir / "tmp").c_str(), 0755);
        ::mkdir((dir / "out").c_str(), 0755);
        const int status = RunGuarded(
            [&] {
                ostrivane::fs::InstallRemoveOnTermination();
                TMakeCab cab;
                // One file a part.
                cab.FileHandler = std::make_unique<StoppedAtAPart>(dir / "out", 80);
                if (throughTheRun) {
                    ostrivane::run::BackupRequest request;
                    request.Archive = dir / "out/data.cab";
                    request.FileSpec = {dir / "src/*.*"};
                    request.TempDir = dir / "tmp";
                    request.PartSize = 4096;
                    ostrivane::run::RunBackup(cab, request);
                } else {
                    ConfigureForBackup(cab, dir / "out/data.cab", {dir / "src/*.*"}, false,
                                       dir / "tmp");
                    cab.PartSize = 4096;
                    cab.Compress();
                }
                return 0;
            },
            60);
        EXPECT_EQ(status, -2) << "not ended by the signal, through the run: " << throughTheRun;
        EXPECT_EQ(Listing(dir / "out"), "") << "through the run: " << throughTheRun;
        EXPECT_EQ(Listing(dir / "tmp"), "") << "through the run: " << throughTheRun;
    }
}

// A window program's orderly end: the first signal is only announced on the program's socket;
// the program ends by it once it has done its part, and the handler ends it when the program
// takes too long or a second signal comes. The listed file is removed on every way out.
enum class AfterTheSignal { Finish, StayBusy, SecondSignal };

int EndedInOrder(const std::string& file, const std::string& announced, AfterTheSignal after) {
    return RunGuarded(
        [&] {
            int ends[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, ends) != 0)
                return 10;
            ostrivane::fs::TerminateInOrder(ends[0], 1);
            ostrivane::fs::RemoveOnTermination(file);
            WriteFile(file, "unfinished");
            ::raise(SIGTERM);
            unsigned char signal = 0;
            if (::read(ends[1], &signal, 1) != 1 || signal != SIGTERM)
                return 11;
            if (::access(file.c_str(), F_OK) != 0)
                return 12; // the program's turn: nothing is removed yet
            WriteFile(announced, "");
            if (after == AfterTheSignal::Finish)
                ostrivane::fs::FinishOrderlyTermination();
            else if (after == AfterTheSignal::SecondSignal)
                ::raise(SIGHUP);
            else
                std::this_thread::sleep_for(std::chrono::seconds(20));
            return 13;
        },
        30);
}

TEST(Termination, AnOrderlyEndEndsByTheSignalOnEveryWayOut) {
    Scratch dir;
    for (const auto after :
         {AfterTheSignal::Finish, AfterTheSignal::StayBusy, AfterTheSignal::SecondSignal}) {
        const std::string file = dir / "part.tmp";
        const std::string announced = dir / "announced";
        EXPECT_EQ(EndedInOrder(file, announced, after), -2)
            << "not ended by a signal, way " << int(after);
        EXPECT_EQ(::unlink(announced.c_str()), 0)
            << "the first signal ended it, way " << int(after);
        EXPECT_NE(::access(file.c_str(), F_OK), 0) << "left behind, way " << int(after);
    }
}

} // namespace
} // namespace faults
