// What killed runs left behind is removed, and nothing a live run still holds.
#include "app/run/StaleTemporaries.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace stdfs = std::filesystem;

void Write(const stdfs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(StaleTemporariesTest, LeftoversGoAndWhatALiveRunHoldsStays) {
    std::string pattern = (stdfs::temp_directory_path() / "stale-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const stdfs::path folder = pattern;
    const stdfs::path out = folder / "out";
    const stdfs::path temp = folder / "tmp";
    stdfs::create_directories(out);
    stdfs::create_directories(temp);
    Write(out / ".ostrivane-0123abcd-1.tmp", "an unfinished cabinet");
    Write(out / "vrk1A.tmp", "compressed data of a killed run");
    Write(temp / "vrk2B.tmp", "compressed data of a killed run");
    Write(temp / "vrk3C.tmp", "held by a live run");
    Write(temp / "vrk4D.tmp", ""); // made a moment ago, not locked yet
    Write(temp / "other.tmp", "not ours");
    Write(out / "data.cab", "a backup");
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
    stdfs::remove_all(folder);
}

} // namespace
