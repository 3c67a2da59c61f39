// A cabinet that would grow past `cb`: the next-cabinet callback decides. Files are never split.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

using namespace libcabinet_test;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> randomFiles(const fs::path& folder, int count, std::size_t size) {
    std::vector<fs::path> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(folder / ("part" + std::to_string(i) + ".bin"));
        WriteFile(files.back(), RandomBytes(size, 100 + i));
    }
    return files;
}

} // namespace

using LibcabinetCabinetSet = FciTest;

TEST_F(LibcabinetCabinetSet, RefusedNextCabinetLeavesTheCompletedFilesReadable) {
    const auto files = randomFiles(scratch.Folder(), 4, 100000);
    harness.ccab.cb = 250000;
    ASSERT_TRUE(open());
    ASSERT_TRUE(harness.add(context, files[0], "part0.bin"));
    ASSERT_TRUE(harness.add(context, files[1], "part1.bin"));
    EXPECT_EQ(refusalOf(files[2], "part2.bin"), FCIERR_USER_ABORT);
    ASSERT_EQ(harness.nextCabinetSizes.size(), 1u);
    EXPECT_GT(harness.nextCabinetSizes[0], 200000u);
    EXPECT_LE(harness.nextCabinetSizes[0], 250000u);
    // The refusal wiped the names in the record it was shown; the cabinet keeps its own.
    ASSERT_TRUE(close()) << harness.erf.erfOper;
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_LE(fs::file_size(harness.cabinetPath()), 250000u);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    EXPECT_EQ(info.Files.size(), 2u);
    expectReadersAccept(harness.cabinetPath(), {{"part0.bin", files[0]}, {"part1.bin", files[1]}});
}

TEST_F(LibcabinetCabinetSet, AcceptedNextCabinetsSplitAtFileBoundaries) {
    const auto files = randomFiles(scratch.Folder(), 5, 100000);
    harness.ccab.cb = 250000;
    harness.ccab.setID = 4242;
    harness.acceptNextCabinet = true;
    ASSERT_TRUE(open());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(harness.add(context, files[i], "part" + std::to_string(i) + ".bin"))
            << i << " error " << harness.erf.erfOper;
    }
    ASSERT_TRUE(close());
    ASSERT_EQ(harness.nextCabinetNames, (std::vector<std::string>{"test1.cab", "test2.cab"}));
    const std::vector<std::string> cabinets = {"test.cab", "test1.cab", "test2.cab"};
    const std::vector<std::vector<int>> contents = {{0, 1}, {2, 3}, {4}};
    for (std::size_t c = 0; c < cabinets.size(); ++c) {
        SCOPED_TRACE(cabinets[c]);
        const fs::path path = scratch.Folder() / cabinets[c];
        ASSERT_TRUE(fs::exists(path));
        EXPECT_LE(fs::file_size(path), 250000u);
        const CabDirectory info = inspectCabinet(path);
        EXPECT_EQ(info.Index, 0) << "each part stands alone";
        EXPECT_EQ(info.SetId, 4242);
        EXPECT_EQ(info.Flags, 0);
        std::map<std::string, fs::path> expected;
        for (int i : contents[c]) {
            expected["part" + std::to_string(i) + ".bin"] = files[i];
        }
        EXPECT_EQ(info.Files.size(), expected.size());
        expectReadersAccept(path, expected);
    }
}

TEST_F(LibcabinetCabinetSet, AFileLargerThanAnEmptyCabinetIsAFormatLimit) {
    const auto files = randomFiles(scratch.Folder(), 1, 100000);
    harness.ccab.cb = 50000;
    harness.acceptNextCabinet = true;
    ASSERT_TRUE(open());
    EXPECT_EQ(refusalOf(files[0], "part0.bin"), FCIERR_CAB_FORMAT_LIMIT);
    EXPECT_TRUE(harness.nextCabinetSizes.empty());
    EXPECT_TRUE(harness.flush(context));
    EXPECT_FALSE(fs::exists(harness.cabinetPath()));
    destroy();
    EXPECT_TRUE(harness.tempFilesLive.empty());
}
