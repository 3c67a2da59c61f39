// The engine's mended faults, seen in real cabinets: names and folders that differ only in
// case are all backed up, and a destination inside a source never packs its own archive, its
// numbered copies or the build's temporary files. (Links into folders, FIFOs and 4 GiB files
// are in the hostile-tree tests.)
#include "FaultSupport.h"

#include "archive/model/ErrorCodes.h"
#include "cabinet/format/SourceRecord.h"
#include "platform/fs/Paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace faults {
namespace {

// A scratch folder whose files are packed into out/archive.cab as a backup run packs them.
class Mends : public ::testing::Test {
protected:
    Mends() { ::mkdir((dir / "out").c_str(), 0755); }
    int Pack(const std::vector<std::string>& specs) {
        ConfigureForBackup(cab, archive, specs, false, "");
        return cab.Compress();
    }

    Scratch dir;
    const std::string archive = dir / "out/archive.cab";
    TMakeCab cab;
    Reports reports{cab};
};

TEST_F(Mends, NamesAndFoldersDifferingInCaseAreAllBackedUp) {
    WriteFile(dir / "Data/Report.txt", "upper");
    WriteFile(dir / "Data/report.txt", "lower");
    WriteFile(dir / "data/Report.txt", "other folder");
    WriteFile(dir / "DATA/x.txt", "third folder");
    // Three groups, one of them named twice: the same files must go in once.
    EXPECT_EQ(Pack({dir / "Data/*.txt", dir / "data/*.txt", dir / "DATA/*.*", dir / "Data/*.*"}), 4)
        << reports.Describe();
    EXPECT_TRUE(reports.All().empty()) << reports.Describe();
    const CabDirectory listing = ReadCabDirectory(archive);
    ASSERT_TRUE(listing.Valid);
    EXPECT_EQ(listing.Files.size(), 4u);
    EXPECT_EQ(CabextractNames(archive),
              (std::set<std::string>{"DATA/x.txt", "Data/Report.txt", "Data/report.txt",
                                     "data/Report.txt"}));
    ASSERT_EQ(Shell("mkdir -p " + Quote(dir / "x") + " && cabextract -q -d " + Quote(dir / "x") +
                    " " + Quote(archive)),
              0);
    for (const char* name : {"Data/Report.txt", "Data/report.txt", "data/Report.txt"})
        EXPECT_EQ(ReadFile(dir / (std::string("x/") + name)), ReadFile(dir / name)) << name;
}

// The backup run shifts the archive to archiv_1.cab before the next build; both builds write
// into a folder below the (recursive) source, with the temporary folder below it too.
TEST_F(Mends, DestinationInsideTheSourceNeverPacksItsOwnFiles) {
    WriteFile(dir / "src/a.txt", RandomBytes(70000, 1));
    WriteFile(dir / "src/deeper/b.txt", RandomBytes(30000, 2));
    WriteFile(dir / "src/zalohy/notes.txt", "kept: not a copy of the archive");
    WriteFile(dir / "src/zalohy/archiv_7.cab", "an old copy beyond the current depth");
    WriteFile(dir / "src/zalohy/archiv_x.cab", "not a numbered copy");
    ::mkdir((dir / "src/tmp").c_str(), 0755);
    const std::string archive = dir / "src/zalohy/archiv.cab";
    const std::set<std::string> expected = {"src\\a.txt", "src\\deeper\\b.txt",
                                            "src\\zalohy\\notes.txt", "src\\zalohy\\archiv_x.cab"};
    std::uint32_t firstSize = 0;
    for (int run = 0; run < 3; ++run) {
        TMakeCab cab;
        Reports reports(cab);
        ConfigureForBackup(cab, archive, {dir / "src/*.*"}, true, dir / "src/tmp");
        EXPECT_EQ(cab.Compress(), 4) << "run " << run << ": " << reports.Describe();
        EXPECT_TRUE(reports.All().empty()) << reports.Describe();
        const CabDirectory listing = ReadCabDirectory(archive);
        ASSERT_TRUE(listing.Valid);
        std::set<std::string> names;
        for (const auto& [name, size] : listing.SizesByName())
            names.insert(name);
        EXPECT_EQ(names, expected) << "run " << run;
        // The archives do not grow from run to run.
        const std::uint32_t size = static_cast<std::uint32_t>(ReadFile(archive).size());
        if (run == 0)
            firstSize = size;
        EXPECT_LT(size, firstSize + 1000) << "run " << run;
        // The series moves along, as the backup run moves it.
        for (int n = 2; n >= 1; --n)
            ::rename((dir / ("src/zalohy/archiv_" + std::to_string(n) + ".cab")).c_str(),
                     (dir / ("src/zalohy/archiv_" + std::to_string(n + 1) + ".cab")).c_str());
        ASSERT_EQ(::rename(archive.c_str(), (dir / "src/zalohy/archiv_1.cab").c_str()), 0);
        EXPECT_EQ(Listing(dir / "src/tmp"), "") << "temporary files left behind";
    }
}

// Every name of `archive` as bsdtar lists it; bsdtar refuses a cabinet with ".." in a name.
std::set<std::string> BsdtarNames(const std::string& archive) {
    std::string out;
    if (Shell("bsdtar -tf " + Quote(archive), &out) != 0)
        return {"<refused: " + out + ">"};
    std::set<std::string> names;
    std::size_t at = 0;
    for (std::size_t end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        names.insert(out.substr(at, end - at));
    return names;
}

TEST_F(Mends, FolderPathsAreMadePlainBeforeNamesAreStored) {
    WriteFile(dir / "src/abc.txt", "abc");
    WriteFile(dir / "src/sub/inner.txt", "inner");
    WriteFile(dir / "src/xy/deep.txt", "deep");
    // "..", "//" and "/./" spellings, and one folder named twice in different ways.
    EXPECT_EQ(Pack({dir / "src/sub/../*.txt", dir / "src//xy/*.txt", dir / "src/./sub/*.txt",
                    dir / "src/sub/*.txt"}),
              3)
        << reports.Describe();
    EXPECT_TRUE(reports.All().empty()) << reports.Describe();
    EXPECT_EQ(BsdtarNames(archive), (std::set<std::string>{"src/abc.txt", "xy/deep.txt",
                                                           "sub/inner.txt", ".ostrivane-catalog"}));
}

TEST_F(Mends, FoldersWithTheSameLastNameAreAllRestorable) {
    WriteFile(dir / "a/Data/x.txt", "from a");
    WriteFile(dir / "b/Data/x.txt", "from b");
    WriteFile(dir / "b/Data/only-b.txt", "only b");
    WriteFile(dir / "Data/x.txt", "from the top");
    EXPECT_EQ(Pack({dir / "a/Data/*.*", dir / "b/Data/*.*", dir / "Data/*.*"}), 4)
        << reports.Describe();
    // gcab refuses a cabinet in which two entries share a name.
    const std::string out = dir / "restored";
    ASSERT_EQ(
        Shell("mkdir -p " + Quote(out) + " && cd " + Quote(out) + " && gcab -x " + Quote(archive)),
        0);
    EXPECT_EQ(ReadFile(out + "/Data/x.txt"), "from a");
    EXPECT_EQ(ReadFile(out + "/b/Data/x.txt"), "from b");
    EXPECT_EQ(ReadFile(out + "/b/Data/only-b.txt"), "only b");
    const std::string top = ostrivane::fs::NameOf(dir.Path()) + "/Data/x.txt";
    EXPECT_EQ(ReadFile(out + "/" + top), "from the top");
    // The archive says which folder each group of names came from, for a restore to its place.
    const std::string scratch = dir.Path().substr(dir.Path().rfind('/') + 1);
    using ostrivane::cabformat::SourceGroup;
    EXPECT_EQ(ostrivane::cabformat::ReadSourceRecord(archive),
              (std::vector<SourceGroup>{{"Data\\", dir / "a/Data"},
                                        {"b\\Data\\", dir / "b/Data"},
                                        {scratch + "\\Data\\", dir / "Data"}}));
}

// Archives the scheduler names after the date and time lie beside the new one: packed, each
// backup would carry every earlier one.
TEST_F(Mends, EarlierDateAndTimeArchivesInsideTheSourceAreNotPacked) {
    WriteFile(dir / "src/a.txt", "a");
    WriteFile(dir / "src/zalohy/202612070442.cab", "yesterday's archive");
    WriteFile(dir / "src/zalohy/202612070442-2.cab", "its second part");
    WriteFile(dir / "src/zalohy/2026120704421.cab", "no date and time name");
    TMakeCab cab;
    Reports reports(cab);
    ConfigureForBackup(cab, dir / "src/zalohy/202612080442", {dir / "src/*.*"}, true, "");
    EXPECT_EQ(cab.Compress(), 2) << reports.Describe();
    EXPECT_EQ(CabextractNames(dir / "src/zalohy/202612080442.cab"),
              (std::set<std::string>{"src/a.txt", "src/zalohy/2026120704421.cab"}));
}

} // namespace
} // namespace faults
