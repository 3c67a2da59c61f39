// The placement record as the next run reads it (whole, cut short while it was written, or not
// one this program would write), and what that run makes of it.
#include "app/run/BackupPlacement.h"
#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/PlacementRecord.h"
#include "tests/support/Child.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

namespace {

using ostrivane::MarkPlacementMoved;
using ostrivane::PlacementRecord;
using ostrivane::PlacementStep;
using ostrivane::ReadPlacementRecord;
using ostrivane::RemovePlacementRecord;
using ostrivane::WritePlacementRecord;
using State = PlacementRecord::State;

TEST(PlacementRecord, ARecordReadsBackAsWrittenAndMarkedOnceEveryRenameIsMade) {
    const testsupport::Scratch folder;
    EXPECT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::None);
    const std::vector<PlacementStep> steps = {
        {"data_1.cab", ostrivane::names::GoingName("ab", 1), true},
        {"data.cab", "data_1.cab", false},
        {".ostrivane-ab-1.tmp", "data.cab", false}};
    ASSERT_TRUE(WritePlacementRecord(folder.Path(), steps));
    EXPECT_FALSE(WritePlacementRecord(folder.Path(), steps)) << "a record is never written over";
    PlacementRecord record = ReadPlacementRecord(folder.Path());
    EXPECT_EQ(record.Kind, State::Present);
    EXPECT_EQ(record.Steps, steps);
    EXPECT_FALSE(record.Moved);
    ASSERT_TRUE(MarkPlacementMoved(folder.Path()));
    EXPECT_TRUE(ReadPlacementRecord(folder.Path()).Moved);
    ASSERT_TRUE(RemovePlacementRecord(folder.Path()));
    EXPECT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::None);
}

TEST(PlacementRecord, ARecordCutShortMeansNothingAndAStrangeOneIsNeverFollowed) {
    const testsupport::Scratch folder;
    const std::string path = ostrivane::PlacementRecordPath(folder.Path());
    using namespace std::string_literals;
    const std::string whole = "OSTRIVANE-PLACEMENT 1\0"
                              "1\0M\0a.cab\0b.cab\0END\0"s;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        testsupport::WriteFile(path, whole.substr(0, size));
        EXPECT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::Unfinished) << size;
    }
    // A name outside the folder, a deletion of anything but a going cabinet, or no record at all.
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
    // A whole record of another user's (planted in a folder others may write too).
    testsupport::WriteFile(path, whole);
    ASSERT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::Present);
    if (testsupport::IsRoot()) {
        ASSERT_TRUE(testsupport::HandOver(path));
        EXPECT_EQ(ReadPlacementRecord(folder.Path()).Kind, State::Unreadable);
    }
}

} // namespace

namespace {

using ostrivane::run::FinishInterruptedPlacement;
using ostrivane::run::PlacementOutcome;

// What the next run finds after a placement was cut short: forward when every file the steps
// left to make move is there, backward when one is gone, and a rename left half made (a link
// made, the old name not yet removed, where the file system has no rename without replacing)
// finished first.
TEST(PlacementRecord, AnInterruptedPlacementIsFinishedOrTakenBackByWhatIsThere) {
    const std::string going = ostrivane::names::GoingName("t", 1);
    const std::string fresh = ".ostrivane-n-1.tmp";
    using Files = std::map<std::string, std::string>;
    struct Case {
        const char* name;
        Files there;
        const char* linked; // a second name of b.cab's file, or nullptr
        Files after;
    };
    // The plan: the copy a.cab goes, b.cab takes its name, the new cabinet takes b.cab's.
    const Files forward = {{"a.cab", "B"}, {"b.cab", "N"}};
    const Case cases[] = {
        {"nothing made", {{"a.cab", "A"}, {"b.cab", "B"}, {fresh, "N"}}, nullptr, forward},
        {"two made", {{going, "A"}, {"a.cab", "B"}, {fresh, "N"}}, nullptr, forward},
        {"all made", {{going, "A"}, {"a.cab", "B"}, {"b.cab", "N"}}, nullptr, forward},
        {"the new cabinet gone",
         {{going, "A"}, {"a.cab", "B"}},
         nullptr,
         {{"a.cab", "A"}, {"b.cab", "B"}}},
        {"a rename half made", {{going, "A"}, {"b.cab", "B"}, {fresh, "N"}}, "a.cab", forward},
    };
    for (const Case& c : cases) {
        const testsupport::Scratch folder;
        ASSERT_TRUE(WritePlacementRecord(
            folder.Path(),
            {{"a.cab", going, true}, {"b.cab", "a.cab", false}, {fresh, "b.cab", false}}));
        for (const auto& [name, content] : c.there)
            testsupport::WriteFile(folder / name, content);
        if (c.linked != nullptr) {
            ASSERT_EQ(::link((folder / "b.cab").c_str(), (folder / c.linked).c_str()), 0);
        }
        EXPECT_EQ(FinishInterruptedPlacement(folder.Path()).Kind, PlacementOutcome::Result::Done)
            << c.name;
        EXPECT_EQ(testsupport::TreeContents(folder.Path()), c.after) << c.name;
    }
}

} // namespace
