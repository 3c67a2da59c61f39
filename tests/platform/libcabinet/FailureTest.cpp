// Failures in the middle of an add: the file is undone, the context stays usable, nothing of
// the library is left behind after FCIDestroy.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace libcabinet_test;
namespace fs = std::filesystem;

TEST(LibcabinetFailure, CancelledReadUndoesTheFileAndKeepsTheOthers) {
    Scratch scratch;
    const fs::path before = makeSource(scratch.Folder(), "before.txt", CompressibleText(100000, 1));
    const fs::path cancelled =
        makeSource(scratch.Folder(), "cancelled.bin", CompressibleText(3 * 1024 * 1024, 2));
    const fs::path after = makeSource(scratch.Folder(), "after.txt", CompressibleText(50001, 3));
    FciHarness harness(scratch.Folder());
    harness.failReadOf = cancelled.string();
    harness.failReadAfter = 1024 * 1024 + 100;
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(harness.add(context, before, "before.txt"));
    EXPECT_FALSE(harness.add(context, cancelled, "cancelled.bin"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_READ_SRC);
    EXPECT_EQ(harness.erf.erfType, -1);
    EXPECT_TRUE(harness.erf.fError);
    EXPECT_EQ(harness.openHandles.size(), 2u) << "only the two temporary files stay open";
    ASSERT_TRUE(harness.add(context, after, "after.txt"));
    ASSERT_TRUE(harness.flush(context));
    EXPECT_TRUE(FCIDestroy(context));
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_TRUE(harness.openHandles.empty());

    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 2u);
    EXPECT_EQ(info.Files[1].FolderOffset, 100000u);
    EXPECT_EQ(info.Folders[0].BlockCount, (150001 + 32767) / 32768);
    ASSERT_EQ(harness.placed.size(), 2u);
    expectReadersAccept(harness.cabinetPath(), {{"before.txt", before}, {"after.txt", after}});
}

TEST(LibcabinetFailure, CancelThenDestroyWithoutFlushDeletesTheTempFiles) {
    Scratch scratch;
    const fs::path file = makeSource(scratch.Folder(), "f.bin", RandomBytes(2 * 1024 * 1024, 4));
    FciHarness harness(scratch.Folder());
    harness.failReadOf = file.string();
    harness.failReadAfter = 700000;
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(harness.add(context, file, "f.bin"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_READ_SRC);
    EXPECT_TRUE(FCIDestroy(context));
    EXPECT_EQ(harness.tempFilesMade, 2);
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_TRUE(harness.openHandles.empty());
    EXPECT_FALSE(fs::exists(harness.cabinetPath()));
}

TEST(LibcabinetFailure, StatusAbortDuringAnAddUndoesOnlyThatFile) {
    Scratch scratch;
    const fs::path first = makeSource(scratch.Folder(), "first.txt", CompressibleText(40000, 5));
    const fs::path aborted =
        makeSource(scratch.Folder(), "aborted.txt", CompressibleText(3 * 1024 * 1024, 6));
    const fs::path last = makeSource(scratch.Folder(), "last.txt", CompressibleText(20000, 7));
    FciHarness harness(scratch.Folder());
    // One worker keeps few blocks in flight, so that records, and their status calls, are
    // written while the large file is still being read.
    ::setenv("OSTRIVANE_CAB_THREADS", "1", 1);
    HFCI context = harness.create();
    ::unsetenv("OSTRIVANE_CAB_THREADS");
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(harness.add(context, first, "first.txt"));
    harness.abortStatusAfter = harness.statusCalls + 5;
    EXPECT_FALSE(harness.add(context, aborted, "aborted.txt"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_USER_ABORT);
    ASSERT_TRUE(harness.add(context, last, "last.txt"));
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 2u);
    EXPECT_EQ(info.Files[1].Name, "last.txt");
    EXPECT_EQ(info.Files[1].FolderOffset, 40000u);
    expectReadersAccept(harness.cabinetPath(), {{"first.txt", first}, {"last.txt", last}});
    EXPECT_TRUE(harness.tempFilesLive.empty());
}

TEST(LibcabinetFailure, StatusAbortBeforeTheCabinetIsWrittenKeepsItForAnotherFlush) {
    Scratch scratch;
    const fs::path file = makeSource(scratch.Folder(), "f.txt", CompressibleText(90000, 8));
    FciHarness harness(scratch.Folder());
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(harness.add(context, file, "f.txt"));
    harness.abortStatusOfType = statusCabinet;
    EXPECT_FALSE(harness.flush(context));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_USER_ABORT);
    EXPECT_EQ(harness.statusLog.back().type, statusCabinet);
    EXPECT_FALSE(fs::exists(harness.cabinetPath()));
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);
    expectReadersAccept(harness.cabinetPath(), {{"f.txt", file}});
}

TEST(LibcabinetFailure, ShortReadsWithAStaleErrorAtTheEndAreTheEndOfTheFile) {
    // The program's file handler reports the last system error on every short read, also at
    // the end of a file that was read in full.
    Scratch scratch;
    const fs::path odd = makeSource(scratch.Folder(), "odd.txt", CompressibleText(100001, 9));
    const fs::path exact = makeSource(scratch.Folder(), "exact.bin", RandomBytes(65536, 10));
    FciHarness harness(scratch.Folder());
    harness.windowsStyleShortReads = true;
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(harness.add(context, odd, "odd.txt")) << harness.erf.erfOper;
    ASSERT_TRUE(harness.add(context, exact, "exact.bin")) << harness.erf.erfOper;
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);
    expectExtractsTo(harness.cabinetPath(), {{"odd.txt", odd}, {"exact.bin", exact}});
}

TEST(LibcabinetFailure, CabinetThatCannotBeCreatedFailsTheFlush) {
    Scratch scratch;
    const fs::path file = makeSource(scratch.Folder(), "f.txt", CompressibleText(1000, 11));
    FciHarness harness(scratch.Folder());
    const std::string missing = (scratch.Folder() / "no-such-folder").string() + "/";
    std::strncpy(harness.ccab.szCabPath, missing.c_str(), sizeof harness.ccab.szCabPath - 1);
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(harness.add(context, file, "f.txt"));
    EXPECT_FALSE(harness.flush(context));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_CAB_FILE);
    EXPECT_EQ(harness.erf.erfType, ENOENT);
    EXPECT_TRUE(FCIDestroy(context));
    EXPECT_TRUE(harness.tempFilesLive.empty());
}

TEST(LibcabinetFailure, RefusedPlacementUndoesTheFile) {
    Scratch scratch;
    const fs::path kept = makeSource(scratch.Folder(), "kept.txt", CompressibleText(30000, 12));
    const fs::path refused =
        makeSource(scratch.Folder(), "refused.txt", CompressibleText(200000, 13));
    FciHarness harness(scratch.Folder());
    harness.refusePlacementOf = "refused.txt";
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(harness.add(context, refused, "refused.txt"));
    EXPECT_EQ(harness.erf.erfOper, FCIERR_USER_ABORT);
    ASSERT_TRUE(harness.add(context, kept, "kept.txt"));
    // Refused again while its bytes still lie behind the kept file's in the data being gathered.
    EXPECT_FALSE(harness.add(context, refused, "refused.txt"));
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), 1u);
    EXPECT_EQ(info.Files[0].FolderOffset, 0u);
    EXPECT_EQ(info.Folders[0].BlockCount, 1);
    expectReadersAccept(harness.cabinetPath(), {{"kept.txt", kept}});
}
