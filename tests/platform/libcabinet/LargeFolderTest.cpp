// Gigabytes of data: a folder cannot hold more than 65535 blocks, so the data goes on in a
// second folder, started at a file boundary.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace libcabinet_test;
namespace fs = std::filesystem;

namespace {

// A sparse file with a few written stretches, so that its content is not all zeros.
void makeSparse(const fs::path& path, std::uint64_t size, unsigned seed) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    const std::string mark = "stretch " + std::to_string(seed);
    for (std::uint64_t at = 12345; at < size; at += 300000000) {
        ASSERT_EQ(::pwrite(fd, mark.data(), mark.size(), static_cast<off_t>(at)),
                  static_cast<ssize_t>(mark.size()));
    }
    ::close(fd);
}

std::string md5Of(const fs::path& path) {
    std::string output;
    EXPECT_EQ(Shell("md5sum " + Quote(path), &output, 600), 0);
    return output.substr(0, 32);
}

} // namespace

using LibcabinetLargeFolder = FciTest;

TEST_F(LibcabinetLargeFolder, DataPast65535BlocksGoesOnInASecondFolder) {
    const fs::path first = scratch.Folder() / "first.bin";
    const fs::path second = scratch.Folder() / "second.bin";
    const std::uint64_t firstSize = 1200000000;
    const std::uint64_t secondSize = 1000000000;
    makeSparse(first, firstSize, 1);
    makeSparse(second, secondSize, 2);
    ASSERT_TRUE(open());
    ASSERT_TRUE(harness.add(context, first, "first.bin")) << harness.erf.erfOper;
    ASSERT_TRUE(harness.add(context, second, "second.bin")) << harness.erf.erfOper;
    ASSERT_TRUE(close());
    EXPECT_TRUE(harness.tempFilesLive.empty());

    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Folders.size(), 2u);
    EXPECT_EQ(info.Folders[0].BlockCount, (firstSize + 32767) / 32768);
    EXPECT_EQ(info.Folders[1].BlockCount, (secondSize + 32767) / 32768);
    ASSERT_EQ(info.Files.size(), 2u);
    EXPECT_EQ(info.Files[1].Folder, 1);
    EXPECT_EQ(info.Files[1].FolderOffset, 0u);

    std::string output;
    ASSERT_EQ(Shell("cabextract -t " + Quote(harness.cabinetPath()), &output, 600), 0) << output;
    EXPECT_NE(output.find(md5Of(first)), std::string::npos) << output;
    EXPECT_NE(output.find(md5Of(second)), std::string::npos) << output;
    ASSERT_EQ(Shell("7zz t " + Quote(harness.cabinetPath()), &output, 600), 0) << output;
    EXPECT_NE(output.find("Everything is Ok"), std::string::npos) << output;
}
