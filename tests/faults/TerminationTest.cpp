// A backup ended by a signal (a cron job stopped, a session logging out) leaves neither the
// build's temporary files nor a half-written cabinet behind.
#include "FaultSupport.h"

#include "platform/fs/RemoveOnTermination.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace faults {
namespace {

std::string Listing(const std::string& folder) {
    std::string names;
    Shell("ls -A " + Quote(folder), &names);
    return names;
}

TEST(Termination, TheFrontEndStoppedBySigtermRemovesItsTemporaryFiles) {
    Scratch dir;
    WriteFile(dir / "src/big.bin", Pattern(48 << 20, 5));
    ::mkdir((dir / "tmp").c_str(), 0755);
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string tool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";
    const std::string archive = dir / "out/archive.cab";
    const std::string sources = dir / "src/*.*";
    const std::string tmp = "TMPDIR=" + dir / "tmp";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::putenv(const_cast<char*>(tmp.c_str()));
        ::execl(tool.c_str(), tool.c_str(), "--quiet", "--threads", "1", archive.c_str(),
                sources.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Stopped as soon as the build has made its temporary files.
    bool started = false;
    for (int i = 0; i < 10000 && !started; ++i) {
        started = Listing(dir / "tmp").find("vrk") != std::string::npos;
        if (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(started);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM)
        << "the build ended before the signal came, status " << status;
    EXPECT_EQ(Listing(dir / "tmp"), "");
    EXPECT_EQ(Listing(dir / "out"), "");
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
        WriteFile(dir / ("src/f" + std::to_string(i) + ".bin"), Pattern(100000, i));
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

} // namespace
} // namespace faults
