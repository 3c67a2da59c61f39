#include "app/run/ArchiveSeries.h"
#include "tests/support/ParamName.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace {

namespace stdfs = std::filesystem;
using ostrivane::RotateArchiveSeries;
using testsupport::ReadFile;
using testsupport::TreeContents;
using testsupport::WriteFile;

// File name -> content; each content names its file, so that every move can be followed.
using Files = std::map<std::string, std::string>;

class ArchiveSeriesTest : public ::testing::Test {
protected:
    void Make(const std::string& name, const std::string& content) {
        WriteFile(Path(name), content);
    }
    std::string Content(const std::string& name) const { return ReadFile(Path(name)); }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : stdfs::directory_iterator(root_.Path()))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string Path(const std::string& name) const { return root_ / name; }

    const testsupport::Scratch root_;
};

// One rotation of the archive `archive` keeping `depth` copies: the folder holds `before`, then
// exactly `after`.
struct Rotation {
    const char* name;
    Files before;
    std::string archive;
    int depth;
    Files after;
};

class ArchiveSeriesRotation : public ArchiveSeriesTest,
                              public ::testing::WithParamInterface<Rotation> {};

TEST_P(ArchiveSeriesRotation, LeavesExactlyTheExpectedCopies) {
    for (const auto& [name, content] : GetParam().before)
        Make(name, content);
    RotateArchiveSeries(Path(GetParam().archive), GetParam().depth);
    EXPECT_EQ(TreeContents(root_.Path()), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveSeriesRotation,
    ::testing::Values(
        Rotation{"FullDepthShiftsEveryCopyAndDropsTheOldest",
                 {{"data.cab", "new"},
                  {"data_1.cab", "one"},
                  {"data_2.cab", "two"},
                  {"data_3.cab", "three"}},
                 "data.cab",
                 3,
                 {{"data_1.cab", "new"}, {"data_2.cab", "one"}, {"data_3.cab", "two"}}},
        Rotation{"AGapInTheSeriesStaysAGap",
                 {{"data.cab", "new"}, {"data_1.cab", "one"}, {"data_3.cab", "three"}},
                 "data.cab",
                 3,
                 {{"data_1.cab", "new"}, {"data_2.cab", "one"}}},
        Rotation{"LoweredDepthLeavesTheCopiesBeyondItAlone",
                 {{"data.cab", "new"},
                  {"data_1.cab", "1"},
                  {"data_2.cab", "2"},
                  {"data_3.cab", "3"},
                  {"data_4.cab", "4"},
                  {"data_5.cab", "5"}},
                 "data.cab",
                 2,
                 {{"data_1.cab", "new"},
                  {"data_2.cab", "1"},
                  {"data_3.cab", "3"},
                  {"data_4.cab", "4"},
                  {"data_5.cab", "5"}}},
        Rotation{"NothingMovesWhenTheArchiveDoesNotExist",
                 {{"data_1.cab", "one"}, {"data_2.cab", "two"}},
                 "data.cab",
                 3,
                 {{"data_1.cab", "one"}, {"data_2.cab", "two"}}},
        Rotation{"AnotherExtensionStillMakesCabCopies",
                 {{"data.zip", "new"}, {"data_1.cab", "one"}},
                 "data.zip",
                 10,
                 {{"data_1.cab", "new"}, {"data_2.cab", "one"}}},
        Rotation{"APathWithoutExtensionRotatesNothing",
                 {{"200212312345.cab", "cabinet"}},
                 "200212312345",
                 3,
                 {{"200212312345.cab", "cabinet"}}},
        Rotation{"HugeDepthCostsOnlyTheCopiesThatExist",
                 {{"data.cab", "new"}, {"data_1.cab", "one"}, {"data_7.cab", "seven"}},
                 "data.cab",
                 2000000000,
                 {{"data_1.cab", "new"}, {"data_2.cab", "one"}, {"data_8.cab", "seven"}}},
        Rotation{"TheLargestDepthDeletesItsCopyWithoutOverflow",
                 {{"data.cab", "new"},
                  {"data_2147483647.cab", "last"},
                  {"data_2147483646.cab", "before"}},
                 "data.cab",
                 2147483647,
                 {{"data_1.cab", "new"}, {"data_2147483647.cab", "before"}}}),
    testsupport::ParamName());

TEST_F(ArchiveSeriesTest, DepthZeroKeepsTheFirstCopyForGood) {
    Make("data.cab", "first");
    RotateArchiveSeries(Path("data.cab"), 0);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab"}));
    Make("data.cab", "second");
    RotateArchiveSeries(Path("data.cab"), 0);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab"}));
    EXPECT_EQ(Content("data_1.cab"), "first");
}

TEST_F(ArchiveSeriesTest, ADottedFolderKeepsTheCopiesInsideIt) {
    stdfs::create_directory(Path("Zálohy.2024"));
    Make("Zálohy.2024/data.cab", "new");
    EXPECT_FALSE(RotateArchiveSeries(Path("Zálohy.2024/data.cab"), 3));
    EXPECT_EQ(Names(), (std::set<std::string>{"Zálohy.2024"}));
    EXPECT_EQ(Content("Zálohy.2024/data_1.cab"), "new");
}

TEST_F(ArchiveSeriesTest, ARenameNeverReplacesAFileOutsideTheSeries) {
    // data_01.cab is no member of the series (leading zero) and is never touched; a copy whose
    // new name is taken by something the rotation cannot move ends the rotation.
    Make("data.cab", "new");
    Make("data_01.cab", "stranger");
    Make("data_1.cab", "one");
    stdfs::create_directory(Path("data_2.cab"));
    const auto failure = RotateArchiveSeries(Path("data.cab"), 3);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->File, Path("data_1.cab"));
    EXPECT_EQ(failure->Error, EEXIST);
    // The rotation stopped there: nothing was lost, the archive included.
    EXPECT_EQ(Content("data_01.cab"), "stranger");
    EXPECT_EQ(Content("data_1.cab"), "one");
    EXPECT_TRUE(stdfs::is_directory(Path("data_2.cab")));
    EXPECT_EQ(Content("data.cab"), "new");
}

} // namespace
