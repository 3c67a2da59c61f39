// The placement record as the next run reads it: whole, cut short while it was written, or not
// one this program would write.
#include "app/run/PlacementRecord.h"

#include "archive/naming/ArchiveNames.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

namespace {

using ostrivane::run::MarkPlacementMoved;
using ostrivane::run::PlacementPlan;
using ostrivane::run::PlacementRecord;
using ostrivane::run::ReadPlacementRecord;
using ostrivane::run::RemovePlacementRecord;
using ostrivane::run::WritePlacementRecord;
using State = PlacementRecord::State;

TEST(PlacementRecord, ARecordReadsBackAsWrittenAndMarkedOnceEveryRenameIsMade) {
    const testsupport::Scratch folder;
    EXPECT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::None);
    PlacementPlan plan;
    plan.Folder = folder.Path();
    plan.Steps = {{"data_1.cab", ostrivane::names::GoingName("ab", 1), true},
                  {"data.cab", "data_1.cab", false},
                  {".ostrivane-ab-1.tmp", "data.cab", false}};
    ASSERT_TRUE(WritePlacementRecord(plan));
    EXPECT_FALSE(WritePlacementRecord(plan)) << "a record is never written over";
    PlacementRecord record = ReadPlacementRecord(folder.Path());
    EXPECT_EQ(record.Kind, State::Present);
    EXPECT_EQ(record.Steps, plan.Steps);
    EXPECT_FALSE(record.Moved);
    ASSERT_TRUE(MarkPlacementMoved(folder.Path()));
    EXPECT_TRUE(ReadPlacementRecord(folder.Path()).Moved);
    ASSERT_TRUE(RemovePlacementRecord(folder.Path()));
    EXPECT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::None);
}

TEST(PlacementRecord, ARecordCutShortMeansNothingAndAStrangeOneIsNeverFollowed) {
    const testsupport::Scratch folder;
    const std::string path = ostrivane::run::PlacementRecordPath(folder.Path());
    using namespace std::string_literals;
    const std::string whole = "OSTRIVANE-PLACEMENT 1\0"
                              "1\0M\0a.cab\0b.cab\0END\0"s;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        testsupport::WriteFile(path, whole.substr(0, size));
        EXPECT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::Unfinished) << size;
    }
    // A name outside the folder, or a deletion of anything but a going cabinet.
    for (const std::string& strange : {"OSTRIVANE-PLACEMENT 1\0"
                                       "1\0M\0../a.cab\0b.cab\0END\0"s,
                                       "OSTRIVANE-PLACEMENT 1\0"
                                       "1\0G\0a.cab\0b.cab\0END\0"s,
                                       "something else"s}) {
        testsupport::WriteFile(path, strange);
        const PlacementRecord record = ReadPlacementRecord(folder.Path());
        EXPECT_EQ(record.Kind, State::Unreadable) << strange;
        EXPECT_TRUE(record.Steps.empty());
    }
}

} // namespace
