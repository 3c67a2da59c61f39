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
    ScratchFolder scratch;
    const fs::path before = scratch.path() / "before.txt";
    const fs::path cancelled = scratch.path() / "cancelled.bin";
    const fs::path after = scratch.path() / "after.txt";
    writeTextFile(before, 100000, 1);
    writeTextFile(cancelled, 3 * 1024 * 1024, 2);
    writeTextFile(after, 50001, 3);
    FciHarness harness(scratch.path());
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

    const CabInfo info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.files.size(), 2u);
    EXPECT_EQ(info.files[1].folderOffset, 100000u);
    EXPECT_EQ(info.folders[0].blocks, (150001 + 32767) / 32768);
    ASSERT_EQ(harness.placed.size(), 2u);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), {{"before.txt", before}, {"after.txt", after}});
}

TEST(LibcabinetFailure, CancelThenDestroyWithoutFlushDeletesTheTempFiles) {
    ScratchFolder scratch;
    const fs::path file = scratch.path() / "f.bin";
    writeRandomFile(file, 2 * 1024 * 1024, 4);
    FciHarness harness(scratch.path());
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
    ScratchFolder scratch;
    const fs::path first = scratch.path() / "first.txt";
    const fs::path aborted = scratch.path() / "aborted.txt";
    const fs::path last = scratch.path() / "last.txt";
    writeTextFile(first, 40000, 5);
    writeTextFile(aborted, 3 * 1024 * 1024, 6);
    writeTextFile(last, 20000, 7);
    FciHarness harness(scratch.path());
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
    const CabInfo info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.files.size(), 2u);
    EXPECT_EQ(info.files[1].name, "last.txt");
    EXPECT_EQ(info.files[1].folderOffset, 40000u);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), {{"first.txt", first}, {"last.txt", last}});
    EXPECT_TRUE(harness.tempFilesLive.empty());
}

TEST(LibcabinetFailure, StatusAbortBeforeTheCabinetIsWrittenKeepsItForAnotherFlush) {
    ScratchFolder scratch;
    const fs::path file = scratch.path() / "f.txt";
    writeTextFile(file, 90000, 8);
    FciHarness harness(scratch.path());
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
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), {{"f.txt", file}});
}

TEST(LibcabinetFailure, ShortReadsWithAStaleErrorAtTheEndAreTheEndOfTheFile) {
    // The program's file handler reports the last system error on every short read, also at
    // the end of a file that was read in full.
    ScratchFolder scratch;
    const fs::path odd = scratch.path() / "odd.txt";
    const fs::path exact = scratch.path() / "exact.bin";
    writeTextFile(odd, 100001, 9);
    writeRandomFile(exact, 65536, 10);
    FciHarness harness(scratch.path());
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
    ScratchFolder scratch;
    const fs::path file = scratch.path() / "f.txt";
    writeTextFile(file, 1000, 11);
    FciHarness harness(scratch.path());
    const std::string missing = (scratch.path() / "no-such-folder").string() + "/";
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
    ScratchFolder scratch;
    const fs::path kept = scratch.path() / "kept.txt";
    const fs::path refused = scratch.path() / "refused.txt";
    writeTextFile(kept, 30000, 12);
    writeTextFile(refused, 200000, 13);
    FciHarness harness(scratch.path());
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
    const CabInfo info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.files.size(), 1u);
    EXPECT_EQ(info.files[0].folderOffset, 0u);
    EXPECT_EQ(info.folders[0].blocks, 1);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), {{"kept.txt", kept}});
}
