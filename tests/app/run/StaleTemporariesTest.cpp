// What killed runs left behind is removed, and nothing a live run still holds.
#include "app/run/StaleTemporaries.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {

namespace stdfs = std::filesystem;

using testsupport::WriteFile;

TEST(StaleTemporariesTest, LeftoversGoAndWhatALiveRunHoldsStays) {
    const testsupport::Scratch scratch;
    const stdfs::path folder = scratch.Folder();
    const stdfs::path out = folder / "out";
    const stdfs::path temp = folder / "tmp";
    stdfs::create_directories(out);
    stdfs::create_directories(temp);
    WriteFile(out / ".ostrivane-0123abcd-1.tmp", "an unfinished cabinet");
    WriteFile(out / "vrk1A.tmp", "compressed data of a killed run");
    WriteFile(temp / "vrk2B.tmp", "compressed data of a killed run");
    WriteFile(temp / "vrk3C.tmp", "held by a live run");
    WriteFile(temp / "vrk4D.tmp", ""); // made a moment ago, not locked yet
    WriteFile(temp / "other.tmp", "not ours");
    WriteFile(out / "data.cab", "a backup");
    const int held = ::open((temp / "vrk3C.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ostrivane::run::RemoveStaleTemporaries(out.string(), temp.string());
    EXPECT_FALSE(stdfs::exists(out / ".ostrivane-0123abcd-1.tmp"));
    EXPECT_FALSE(stdfs::exists(out / "vrk1A.tmp"));
    EXPECT_FALSE(stdfs::exists(temp / "vrk2B.tmp"));
    EXPECT_TRUE(stdfs::exists(temp / "vrk3C.tmp"));
    EXPECT_TRUE(stdfs::exists(temp / "vrk4D.tmp"));
    EXPECT_TRUE(stdfs::exists(temp / "other.tmp"));
    EXPECT_TRUE(stdfs::exists(out / "data.cab"));

    // Once its run has ended, the held file is a leftover too.
    ::close(held);
    ostrivane::run::RemoveStaleTemporaries(out.string(), temp.string());
    EXPECT_FALSE(stdfs::exists(temp / "vrk3C.tmp"));
}

} // namespace
