// The names of a backup's files: what a run writes and what the scan keeps out of a backup.
#include "archive/naming/ArchiveNames.h"

#include <gtest/gtest.h>

namespace names = ostrivane::names;

TEST(Naming, TheSeriesStemIsTheFolderAndTheNameUpToItsFirstDot) {
    EXPECT_EQ(names::SeriesStem("/z/data.tar.gz"), "/z/data");
    EXPECT_EQ(names::SeriesStem("/home/jan.novak/zalohy/data.cab"), "/home/jan.novak/zalohy/data");
    // Without a dot in the name the copies are still named beside the archive.
    EXPECT_EQ(names::SeriesCopy("/z.1/200212312345", 3), "/z.1/200212312345_3.cab");
    EXPECT_EQ(names::CopyNumber("data_12.cab", "data"), 12);
    EXPECT_FALSE(names::CopyNumber("data_012.cab", "data"));
    EXPECT_FALSE(names::CopyNumber("data_1-2.cab", "data"));
    EXPECT_FALSE(names::CopyNumber("data_0.cab", "data"));
}

TEST(Naming, PartsOfTwoArchivesWithOneStemNeverShareAName) {
    EXPECT_EQ(names::PartName("/z/data.cab", 2), "/z/data-2.cab");
    EXPECT_EQ(names::PartName("/z/data.monday.cab", 3), "/z/data.monday-3.cab");
    EXPECT_NE(names::PartName("/z/data.monday.cab", 2), names::PartName("/z/data.tuesday.cab", 2));
    EXPECT_EQ(names::PartName("/z/data_1.cab", 2), "/z/data_1-2.cab");
    EXPECT_EQ(names::PartName("/z/.hidden", 2), "/z/.hidden-2.cab");
}

TEST(Naming, DateAndTimeNames) {
    EXPECT_EQ(names::DateTimeName(2002, 12, 31, 23, 45), "200212312345");
    EXPECT_EQ(names::DateTimeName(2026, 3, 5, 7, 9), "202603050709");
    EXPECT_TRUE(names::IsDateTimeArchive("202603050709.cab"));
    EXPECT_FALSE(names::IsDateTimeArchive("202603050709-2.cab"));
    EXPECT_FALSE(names::IsDateTimeArchive("20260305070.cab"));
}

TEST(Naming, EveryFileABackupWritesIsKnownAndNoOther) {
    const std::string archive = "/z/data.monday.cab";
    for (const char* ours :
         {"data.monday.cab", "data.monday-2.cab", "data_1.cab", "data_7-3.cab", "202612080442.cab",
          "202612080442-2.cab", ".ostrivane-1f2e-1.tmp", "vrk1A2b.tmp", ".ostrivane-placement",
          ".ostrivane.lock", ".ostrivane-old-1f2e-3.tmp", ".ostrivane-probe-A1.tmp"})
        EXPECT_TRUE(names::IsBackupFile(ours, archive)) << ours;
    for (const char* other :
         {"data.cab", "data.tuesday.cab", "data_1.txt", "data_01.cab", "data-1.cab",
          "data.monday-1.cab", "2026120804.cab", "vrk.tmp", "vrkxyz.tmp", "notes.ostrivane-1.tmp"})
        EXPECT_FALSE(names::IsBackupFile(other, archive)) << other;
    EXPECT_EQ(names::RunTemporaryName("/z", "1f2e", 2), "/z/.ostrivane-1f2e-2.tmp");
    EXPECT_TRUE(names::IsRunTemporary(".ostrivane-1f2e-2.tmp"));
    // The cabinets of a backup on its way out are run temporaries; the placement record, which
    // must outlive a killed run, is not.
    EXPECT_TRUE(names::IsRunTemporary(names::GoingName("1f2e", 3)));
    EXPECT_FALSE(names::IsRunTemporary(names::kPlacementRecordName));
}
