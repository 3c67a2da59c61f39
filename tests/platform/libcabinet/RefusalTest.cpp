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

class LibcabinetRefusal : public FciTest {
protected:
    // The cabinet holds the one file `name`, and the testers accept it.
    void expectOnly(const std::string& name) {
        const CabDirectory info = inspectCabinet(harness.cabinetPath());
        ASSERT_EQ(info.Files.size(), 1u);
        EXPECT_EQ(info.Files[0].Name, name);
        ExpectTestersAccept(harness.cabinetPath());
    }
};

TEST_F(LibcabinetRefusal, LzxAndQuantumAreRefusedAndTheContextGoesOn) {
    const fs::path file = source("f.txt", CompressibleText(5000, 1));
    ASSERT_TRUE(open());
    const TCOMP lzx = static_cast<TCOMP>(tcompTYPE_LZX | (21 << 8));
    const TCOMP quantum = static_cast<TCOMP>(tcompTYPE_QUANTUM | (7 << 4) | (21 << 8));
    EXPECT_EQ(refusalOf(file, "lzx.txt", lzx), FCIERR_BAD_COMPR_TYPE);
    EXPECT_TRUE(harness.erf.fError);
    EXPECT_EQ(refusalOf(file, "quantum.txt", quantum), FCIERR_BAD_COMPR_TYPE);
    EXPECT_EQ(harness.openHandles.size(), 2u) << "only the two temporary files are open";
    ASSERT_TRUE(harness.add(context, file, "zip.txt"));
    ASSERT_TRUE(close());
    expectOnly("zip.txt");
}

TEST_F(LibcabinetRefusal, StoredNamesLongerThan255BytesAreRefused) {
    const fs::path file = source("f.txt", CompressibleText(100, 1));
    ASSERT_TRUE(open());
    const std::string longest = std::string(200, 'd') + "\\" + std::string(54, 'n');
    ASSERT_EQ(longest.size(), 255u);
    EXPECT_TRUE(harness.add(context, file, longest));
    EXPECT_EQ(refusalOf(file, longest + "x"), FCIERR_CAB_FORMAT_LIMIT);
    ASSERT_TRUE(close());
    expectOnly(longest);
}

TEST_F(LibcabinetRefusal, CabinetNamesWithoutRoomForTheirEndAreRefusedAtCreate) {
    std::memset(harness.ccab.szCab, 'a', sizeof harness.ccab.szCab);
    EXPECT_FALSE(open());
    EXPECT_EQ(harness.erf.erfOper, FCIERR_CAB_FILE);
    EXPECT_TRUE(harness.erf.fError);
    EXPECT_TRUE(harness.tempFilesLive.empty());

    FciHarness other(scratch.Folder());
    std::memset(other.ccab.szCabPath, 'p', sizeof other.ccab.szCabPath);
    EXPECT_EQ(other.create(), nullptr);
    EXPECT_EQ(other.erf.erfOper, FCIERR_CAB_FILE);
}

TEST_F(LibcabinetRefusal, TempFilesThatCannotBeMadeFailTheCreate) {
    harness.failTempNames = true;
    EXPECT_FALSE(open());
    EXPECT_EQ(harness.erf.erfOper, FCIERR_TEMP_FILE);
    EXPECT_TRUE(harness.tempFilesLive.empty());
}

TEST_F(LibcabinetRefusal, MissingSourceReportsOpenErrorAndTheNextFileIsAdded) {
    const fs::path file = source("there.txt", CompressibleText(1000, 1));
    ASSERT_TRUE(open());
    EXPECT_EQ(refusalOf(scratch.Folder() / "missing.txt", "missing.txt"), FCIERR_OPEN_SRC);
    EXPECT_EQ(harness.erf.erfType, ENOENT);
    EXPECT_TRUE(harness.add(context, file, "there.txt"));
    ASSERT_TRUE(close());
    expectExtractsTo(harness.cabinetPath(), {{"there.txt", file}});
}

TEST_F(LibcabinetRefusal, FilesBeyondOneFolderOrOf4GiBAreRefusedWithoutReading) {
    const fs::path huge = scratch.Folder() / "huge.bin";
    const fs::path tooBig = scratch.Folder() / "too-big.bin";
    makeSparse(huge, 4ull << 30);
    makeSparse(tooBig, (5ull << 30) / 2);
    ASSERT_TRUE(open());
    EXPECT_EQ(refusalOf(huge, "huge.bin"), FCIERR_CAB_FORMAT_LIMIT);
    EXPECT_EQ(refusalOf(tooBig, "too-big.bin"), FCIERR_CAB_FORMAT_LIMIT);
    EXPECT_TRUE(harness.statusLog.empty());
    EXPECT_EQ(harness.openHandles.size(), 2u) << "only the two temporary files are open";
}

TEST_F(LibcabinetRefusal, FlushWithNothingAddedWritesNoCabinet) {
    ASSERT_TRUE(open());
    EXPECT_EQ(harness.tempFilesMade, 2);
    EXPECT_TRUE(harness.flush(context));
    EXPECT_TRUE(FCIFlushFolder(context, FciHarness::nextCabinet, FciHarness::status));
    EXPECT_FALSE(fs::exists(harness.cabinetPath()));
    EXPECT_TRUE(destroy());
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_TRUE(harness.openHandles.empty());
    EXPECT_FALSE(FCIDestroy(nullptr));
}
