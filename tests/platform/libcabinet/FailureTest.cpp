// Failures in the middle of an add: the file is undone, the context stays usable, nothing of
// the library is left behind after FCIDestroy.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace libcabinet_test;
namespace fs = std::filesystem;

using LibcabinetFailure = FciTest;

TEST_F(LibcabinetFailure, CancelledReadUndoesTheFileAndKeepsTheOthers) {
    const fs::path before = source("before.txt", CompressibleText(100000, 1));
    const fs::path cancelled = source("cancelled.bin", CompressibleText(3 * 1024 * 1024, 2));
    const fs::path after = source("after.txt", CompressibleText(50001, 3));
    harness.failReadOf = cancelled.string();
    harness.failReadAfter = 1024 * 1024 + 100;
    ASSERT_TRUE(open());
    ASSERT_TRUE(harness.add(context, before, "before.txt"));
    EXPECT_EQ(refusalOf(cancelled, "cancelled.bin"), FCIERR_READ_SRC);
    EXPECT_EQ(harness.erf.erfType, -1);
    EXPECT_TRUE(harness.erf.fError);
    EXPECT_EQ(harness.openHandles.size(), 2u) << "only the two temporary files stay open";
    ASSERT_TRUE(harness.add(context, after, "after.txt"));
    ASSERT_TRUE(harness.flush(context));
    EXPECT_TRUE(destroy());
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_TRUE(harness.openHandles.empty());

    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 2u);
    EXPECT_EQ(info.Files[1].FolderOffset, 100000u);
    EXPECT_EQ(info.Folders[0].BlockCount, (150001 + 32767) / 32768);
    ASSERT_EQ(harness.placed.size(), 2u);
    expectReadersAccept(harness.cabinetPath(), {{"before.txt", before}, {"after.txt", after}});
}

TEST_F(LibcabinetFailure, CancelThenDestroyWithoutFlushDeletesTheTempFiles) {
    const fs::path file = source("f.bin", RandomBytes(2 * 1024 * 1024, 4));
    harness.failReadOf = file.string();
    harness.failReadAfter = 700000;
    ASSERT_TRUE(open());
    EXPECT_EQ(refusalOf(file, "f.bin"), FCIERR_READ_SRC);
    EXPECT_TRUE(destroy());
    EXPECT_EQ(harness.tempFilesMade, 2);
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_TRUE(harness.openHandles.empty());
    EXPECT_FALSE(fs::exists(harness.cabinetPath()));
}

TEST_F(LibcabinetFailure, StatusAbortDuringAnAddUndoesOnlyThatFile) {
    const fs::path first = source("first.txt", CompressibleText(40000, 5));
    const fs::path aborted = source("aborted.txt", CompressibleText(3 * 1024 * 1024, 6));
    const fs::path last = source("last.txt", CompressibleText(20000, 7));
    // One worker keeps few blocks in flight, so that records, and their status calls, are
    // written while the large file is still being read.
    ::setenv("OSTRIVANE_CAB_THREADS", "1", 1);
    const bool opened = open();
    ::unsetenv("OSTRIVANE_CAB_THREADS");
    ASSERT_TRUE(opened);
    ASSERT_TRUE(harness.add(context, first, "first.txt"));
    harness.abortStatusAfter = harness.statusCalls + 5;
    EXPECT_EQ(refusalOf(aborted, "aborted.txt"), FCIERR_USER_ABORT);
    ASSERT_TRUE(harness.add(context, last, "last.txt"));
    ASSERT_TRUE(close());
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 2u);
    EXPECT_EQ(info.Files[1].Name, "last.txt");
    EXPECT_EQ(info.Files[1].FolderOffset, 40000u);
    expectReadersAccept(harness.cabinetPath(), {{"first.txt", first}, {"last.txt", last}});
    EXPECT_TRUE(harness.tempFilesLive.empty());
}

TEST_F(LibcabinetFailure, StatusAbortBeforeTheCabinetIsWrittenKeepsItForAnotherFlush) {
    const fs::path file = source("f.txt", CompressibleText(90000, 8));
    ASSERT_TRUE(open());
    ASSERT_TRUE(harness.add(context, file, "f.txt"));
    harness.abortStatusOfType = statusCabinet;
    EXPECT_FALSE(harness.flush(context));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_USER_ABORT);
    EXPECT_EQ(harness.statusLog.back().type, statusCabinet);
    EXPECT_FALSE(fs::exists(harness.cabinetPath()));
    ASSERT_TRUE(close());
    expectReadersAccept(harness.cabinetPath(), {{"f.txt", file}});
}

TEST_F(LibcabinetFailure, ShortReadsWithAStaleErrorAtTheEndAreTheEndOfTheFile) {
    // The program's file handler reports the last system error on every short read, also at
    // the end of a file that was read in full.
    const fs::path odd = source("odd.txt", CompressibleText(100001, 9));
    const fs::path exact = source("exact.bin", RandomBytes(65536, 10));
    harness.windowsStyleShortReads = true;
    ASSERT_TRUE(open());
    ASSERT_TRUE(harness.add(context, odd, "odd.txt")) << harness.erf.erfOper;
    ASSERT_TRUE(harness.add(context, exact, "exact.bin")) << harness.erf.erfOper;
    ASSERT_TRUE(close());
    expectExtractsTo(harness.cabinetPath(), {{"odd.txt", odd}, {"exact.bin", exact}});
}

TEST_F(LibcabinetFailure, CabinetThatCannotBeCreatedFailsTheFlush) {
    const fs::path file = source("f.txt", CompressibleText(1000, 11));
    const std::string missing = (scratch.Folder() / "no-such-folder").string() + "/";
    std::strncpy(harness.ccab.szCabPath, missing.c_str(), sizeof harness.ccab.szCabPath - 1);
    ASSERT_TRUE(open());
    ASSERT_TRUE(harness.add(context, file, "f.txt"));
    EXPECT_FALSE(harness.flush(context));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_CAB_FILE);
    EXPECT_EQ(harness.erf.erfType, ENOENT);
    EXPECT_TRUE(destroy());
    EXPECT_TRUE(harness.tempFilesLive.empty());
}

TEST_F(LibcabinetFailure, RefusedPlacementUndoesTheFile) {
    const fs::path kept = source("kept.txt", CompressibleText(30000, 12));
    const fs::path refused = source("refused.txt", CompressibleText(200000, 13));
    harness.refusePlacementOf = "refused.txt";
    ASSERT_TRUE(open());
    EXPECT_EQ(refusalOf(refused, "refused.txt"), FCIERR_USER_ABORT);
    ASSERT_TRUE(harness.add(context, kept, "kept.txt"));
    // Refused again while its bytes still lie behind the kept file's in the data being gathered.
    EXPECT_NE(refusalOf(refused, "refused.txt"), FCIERR_NONE);
    ASSERT_TRUE(close());
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 1u);
    EXPECT_EQ(info.Files[0].FolderOffset, 0u);
    EXPECT_EQ(info.Folders[0].BlockCount, 1);
    expectReadersAccept(harness.cabinetPath(), {{"kept.txt", kept}});
}
