#include "app/run/ArchiveSeries.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace stdfs = std::filesystem;
using ostrivane::RotateArchiveSeries;

class ArchiveSeriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (stdfs::temp_directory_path() / "series-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override { stdfs::remove_all(root_); }

    // Creates a file whose content names it, so that every move can be followed.
    void Make(const std::string& name, const std::string& content) {
        std::ofstream(root_ / name) << content;
    }
    std::string Content(const std::string& name) const {
        std::ifstream in(root_ / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : stdfs::directory_iterator(root_))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string Path(const std::string& name) const { return (root_ / name).string(); }

    stdfs::path root_;
};

TEST_F(ArchiveSeriesTest, FullDepthShiftsEveryCopyAndDropsTheOldest) {
    Make("data.cab", "new");
    Make("data_1.cab", "one");
    Make("data_2.cab", "two");
    Make("data_3.cab", "three");
    RotateArchiveSeries(Path("data.cab"), 3);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab", "data_2.cab", "data_3.cab"}));
    EXPECT_EQ(Content("data_1.cab"), "new");
    EXPECT_EQ(Content("data_2.cab"), "one");
    EXPECT_EQ(Content("data_3.cab"), "two");
}

TEST_F(ArchiveSeriesTest, AGapInTheSeriesStaysAGap) {
    Make("data.cab", "new");
    Make("data_1.cab", "one");
    Make("data_3.cab", "three");
    RotateArchiveSeries(Path("data.cab"), 3);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab", "data_2.cab"}));
    EXPECT_EQ(Content("data_1.cab"), "new");
    EXPECT_EQ(Content("data_2.cab"), "one");
}

TEST_F(ArchiveSeriesTest, LoweredDepthLeavesTheCopiesBeyondItAlone) {
    Make("data.cab", "new");
    for (int n = 1; n <= 5; ++n)
        Make("data_" + std::to_string(n) + ".cab", std::to_string(n));
    RotateArchiveSeries(Path("data.cab"), 2);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab", "data_2.cab", "data_3.cab",
                                              "data_4.cab", "data_5.cab"}));
    EXPECT_EQ(Content("data_1.cab"), "new");
    EXPECT_EQ(Content("data_2.cab"), "1");
    EXPECT_EQ(Content("data_3.cab"), "3");
    EXPECT_EQ(Content("data_5.cab"), "5");
}

TEST_F(ArchiveSeriesTest, DepthZeroKeepsTheFirstCopyForGood) {
    Make("data.cab", "first");
    RotateArchiveSeries(Path("data.cab"), 0);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab"}));
    Make("data.cab", "second");
    RotateArchiveSeries(Path("data.cab"), 0);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab"}));
    EXPECT_EQ(Content("data_1.cab"), "first");
}

TEST_F(ArchiveSeriesTest, NothingMovesWhenTheArchiveDoesNotExist) {
    Make("data_1.cab", "one");
    Make("data_2.cab", "two");
    RotateArchiveSeries(Path("data.cab"), 3);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab", "data_2.cab"}));
    EXPECT_EQ(Content("data_1.cab"), "one");
}

TEST_F(ArchiveSeriesTest, AnotherExtensionStillMakesCabCopies) {
    Make("data.zip", "new");
    Make("data_1.cab", "one");
    RotateArchiveSeries(Path("data.zip"), 10);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab", "data_2.cab"}));
    EXPECT_EQ(Content("data_1.cab"), "new");
}

TEST_F(ArchiveSeriesTest, ADottedFolderKeepsTheCopiesInsideIt) {
    stdfs::create_directory(root_ / "Zálohy.2024");
    Make("Zálohy.2024/data.cab", "new");
    EXPECT_FALSE(RotateArchiveSeries(Path("Zálohy.2024/data.cab"), 3));
    EXPECT_EQ(Names(), (std::set<std::string>{"Zálohy.2024"}));
    EXPECT_EQ(Content("Zálohy.2024/data_1.cab"), "new");
}

TEST_F(ArchiveSeriesTest, APathWithoutExtensionRotatesNothing) {
    Make("200212312345.cab", "cabinet");
    RotateArchiveSeries(Path("200212312345"), 3);
    EXPECT_EQ(Names(), (std::set<std::string>{"200212312345.cab"}));
}

TEST_F(ArchiveSeriesTest, HugeDepthCostsOnlyTheCopiesThatExist) {
    Make("data.cab", "new");
    Make("data_1.cab", "one");
    Make("data_7.cab", "seven");
    RotateArchiveSeries(Path("data.cab"), 2000000000);
    EXPECT_EQ(Names(), (std::set<std::string>{"data_1.cab", "data_2.cab", "data_8.cab"}));
    EXPECT_EQ(Content("data_8.cab"), "seven");
    EXPECT_EQ(Content("data_2.cab"), "one");
}

TEST_F(ArchiveSeriesTest, TheLargestDepthDeletesItsCopyWithoutOverflow) {
    Make("data.cab", "new");
    Make("data_2147483647.cab", "last");
    Make("data_2147483646.cab", "before");
    RotateArchiveSeries(Path("data.cab"), 2147483647);
    EXPECT_EQ(Content("data_2147483647.cab"), "before");
    EXPECT_EQ(Content("data_1.cab"), "new");
}

TEST_F(ArchiveSeriesTest, ARenameNeverReplacesAFileOutsideTheSeries) {
    // data_01.cab is no member of the series (leading zero) and is never touched; a copy whose
    // new name is taken by something the rotation cannot move ends the rotation.
    Make("data.cab", "new");
    Make("data_01.cab", "stranger");
    Make("data_1.cab", "one");
    stdfs::create_directory(root_ / "data_2.cab");
    const auto failure = RotateArchiveSeries(Path("data.cab"), 3);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->File, Path("data_1.cab"));
    EXPECT_EQ(failure->Error, EEXIST);
    // The rotation stopped there: nothing was lost, the archive included.
    EXPECT_EQ(Content("data_01.cab"), "stranger");
    EXPECT_EQ(Content("data_1.cab"), "one");
    EXPECT_TRUE(stdfs::is_directory(root_ / "data_2.cab"));
    EXPECT_EQ(Content("data.cab"), "new");
}

} // namespace
