// What the library refuses instead of writing a wrong cabinet.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

using namespace libcabinet_test;
namespace fs = std::filesystem;

namespace {

void makeSparse(const fs::path& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);
}

} // namespace

TEST(LibcabinetRefusal, LzxAndQuantumAreRefusedAndTheContextGoesOn) {
    Scratch scratch;
    const fs::path file = makeSource(scratch.Folder(), "f.txt", CompressibleText(5000, 1));
    FciHarness harness(scratch.Folder());
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    const TCOMP lzx = static_cast<TCOMP>(tcompTYPE_LZX | (21 << 8));
    const TCOMP quantum = static_cast<TCOMP>(tcompTYPE_QUANTUM | (7 << 4) | (21 << 8));
    EXPECT_FALSE(harness.add(context, file, "lzx.txt", lzx));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_BAD_COMPR_TYPE);
    EXPECT_TRUE(harness.erf.fError);
    EXPECT_FALSE(harness.add(context, file, "quantum.txt", quantum));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_BAD_COMPR_TYPE);
    EXPECT_EQ(harness.openHandles.size(), 2u) << "only the two temporary files are open";
    ASSERT_TRUE(harness.add(context, file, "zip.txt"));
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 1u);
    EXPECT_EQ(info.Files[0].Name, "zip.txt");
    ExpectTestersAccept(harness.cabinetPath());
}

TEST(LibcabinetRefusal, StoredNamesLongerThan255BytesAreRefused) {
    Scratch scratch;
    const fs::path file = makeSource(scratch.Folder(), "f.txt", CompressibleText(100, 1));
    FciHarness harness(scratch.Folder());
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    const std::string longest = std::string(200, 'd') + "\\" + std::string(54, 'n');
    ASSERT_EQ(longest.size(), 255u);
    EXPECT_TRUE(harness.add(context, file, longest));
    EXPECT_FALSE(harness.add(context, file, longest + "x"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_CAB_FORMAT_LIMIT);
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 1u);
    EXPECT_EQ(info.Files[0].Name, longest);
    ExpectTestersAccept(harness.cabinetPath());
}

TEST(LibcabinetRefusal, CabinetNamesWithoutRoomForTheirEndAreRefusedAtCreate) {
    Scratch scratch;
    FciHarness harness(scratch.Folder());
    std::memset(harness.ccab.szCab, 'a', sizeof harness.ccab.szCab);
    EXPECT_EQ(harness.create(), nullptr);
    EXPECT_EQ(harness.erf.erfOper, FCIERR_CAB_FILE);
    EXPECT_TRUE(harness.erf.fError);
    EXPECT_TRUE(harness.tempFilesLive.empty());

    FciHarness other(scratch.Folder());
    std::memset(other.ccab.szCabPath, 'p', sizeof other.ccab.szCabPath);
    EXPECT_EQ(other.create(), nullptr);
    EXPECT_EQ(other.erf.erfOper, FCIERR_CAB_FILE);
}

TEST(LibcabinetRefusal, TempFilesThatCannotBeMadeFailTheCreate) {
    Scratch scratch;
    FciHarness harness(scratch.Folder());
    harness.failTempNames = true;
    EXPECT_EQ(harness.create(), nullptr);
    EXPECT_EQ(harness.erf.erfOper, FCIERR_TEMP_FILE);
    EXPECT_TRUE(harness.tempFilesLive.empty());
}

TEST(LibcabinetRefusal, MissingSourceReportsOpenErrorAndTheNextFileIsAdded) {
    Scratch scratch;
    const fs::path file = makeSource(scratch.Folder(), "there.txt", CompressibleText(1000, 1));
    FciHarness harness(scratch.Folder());
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(harness.add(context, scratch.Folder() / "missing.txt", "missing.txt"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_OPEN_SRC);
    EXPECT_EQ(harness.erf.erfType, ENOENT);
    EXPECT_TRUE(harness.add(context, file, "there.txt"));
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);
    expectExtractsTo(harness.cabinetPath(), {{"there.txt", file}});
}

TEST(LibcabinetRefusal, FilesBeyondOneFolderOrOf4GiBAreRefusedWithoutReading) {
    Scratch scratch;
    const fs::path huge = scratch.Folder() / "huge.bin";
    const fs::path tooBig = scratch.Folder() / "too-big.bin";
    makeSparse(huge, 4ull << 30);
    makeSparse(tooBig, (5ull << 30) / 2);
    FciHarness harness(scratch.Folder());
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(harness.add(context, huge, "huge.bin"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_CAB_FORMAT_LIMIT);
    EXPECT_FALSE(harness.add(context, tooBig, "too-big.bin"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_CAB_FORMAT_LIMIT);
    EXPECT_TRUE(harness.statusLog.empty());
    EXPECT_EQ(harness.openHandles.size(), 2u) << "only the two temporary files are open";
    FCIDestroy(context);
}

TEST(LibcabinetRefusal, FlushWithNothingAddedWritesNoCabinet) {
    Scratch scratch;
    FciHarness harness(scratch.Folder());
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(harness.tempFilesMade, 2);
    EXPECT_TRUE(harness.flush(context));
    EXPECT_TRUE(FCIFlushFolder(context, FciHarness::nextCabinet, FciHarness::status));
    EXPECT_FALSE(fs::exists(harness.cabinetPath()));
    EXPECT_TRUE(FCIDestroy(context));
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_TRUE(harness.openHandles.empty());
    EXPECT_FALSE(FCIDestroy(nullptr));
}
