// The compress driver through the public surface: Compress with a recording cabinet component.
#include "ArchiveTestSupport.h"
#include "platform/fs/DosDateTime.h"
#include "tests/support/ParamName.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <set>

namespace {

// A component whose archive goes to <scratch>/out and whose sources are given as lines.
struct Fixture {
    Scratch dir;
    RecordingCab cab;
    int foldersEntered = 0;
    Fixture() {
        MakeDir(dir / "out");
        cab.SetArchiveFile(dir / "out/backup");
        cab.OnRecurseDir = [this](TComponent*, const std::string&) { ++foldersEntered; };
    }
};

void SetLocalMtime(const std::string& path, int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    timespec times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

} // namespace

TEST(CompressDriver, AddsEveryMatchingFileWithNumbersSizesAndDates) {
    Fixture f;
    MakeDir(f.dir / "src");
    WriteFile(f.dir / "src/a.txt", "12345");
    WriteFile(f.dir / "src/b.txt", "");
    SetLocalMtime(f.dir / "src/a.txt", 2015, 6, 15, 10, 20, 30);
    SetLocalMtime(f.dir / "src/b.txt", 2016, 1, 2, 3, 4, 6);
    f.cab.FileSpec() = {f.dir / "src/*.txt"};
    EXPECT_EQ(f.cab.Compress(), 2);
    ASSERT_EQ(f.cab.Calls.size(), 2u);
    std::set<int> numbers;
    for (const auto& call : f.cab.Calls) {
        numbers.insert(call.Number);
        if (call.StoredName == "a.txt") {
            EXPECT_EQ(call.BytesLeft, 5u);
            EXPECT_EQ(call.DosDateTime, ostrivane::fs::PackDosDateTime(2015, 6, 15, 10, 20, 30));
        } else {
            EXPECT_EQ(call.StoredName, "b.txt");
            EXPECT_EQ(call.BytesLeft, 0u);
        }
    }
    EXPECT_EQ(numbers, (std::set<int>{1, 2}));
    EXPECT_EQ(f.cab.NewestDosDate, ostrivane::fs::PackDosDateTime(2016, 1, 2, 3, 4, 6));
    EXPECT_DOUBLE_EQ(f.cab.ArchiveBytesTotal, 5.0);
    EXPECT_EQ(f.cab.GroupRoot, f.dir / "src/");
    EXPECT_TRUE(f.cab.Errors.empty());
}

TEST(CompressDriver, EmptyFileSpecReportsNothingToDo) {
    Fixture f;
    EXPECT_EQ(f.cab.Compress(), 0);
    ASSERT_EQ(f.cab.Errors.size(), 1u);
    EXPECT_EQ(f.cab.Errors[0].Code, kErrNothingToDo);
    EXPECT_EQ(f.cab.Errors[0].FileName, f.cab.ArchiveFile());
}

TEST(CompressDriver, EmptyArchiveFileDoesNotScan) {
    Fixture f;
    WriteFile(f.dir / "a.txt");
    f.cab.SetArchiveFile("");
    f.cab.FileSpec() = {f.dir / "*.txt"};
    EXPECT_EQ(f.cab.Compress(), 0);
    EXPECT_EQ(f.foldersEntered, 0);
    EXPECT_TRUE(f.cab.Calls.empty());
}

TEST(CompressDriver, CancelSetBeforehandIsCleared) {
    Fixture f;
    WriteFile(f.dir / "a.txt");
    f.cab.FileSpec() = {f.dir / "*.txt"};
    f.cab.SetCancel(true);
    f.cab.Errors.clear();
    EXPECT_EQ(f.cab.Compress(), 1);
    EXPECT_FALSE(f.cab.GetCancel());
}

TEST(CompressDriver, CancelDuringTheScanWritesNothing) {
    Fixture f;
    for (int i = 0; i < 20; ++i)
        WriteFile(f.dir / ("f" + std::to_string(i) + ".txt"));
    f.cab.FileSpec() = {f.dir / "*.txt"};
    int events = 0;
    f.cab.Hooks.ProcessMessages = [&] {
        if (++events == 3)
            *f.cab.CancelFlag() = true; // what the cancel button does
    };
    EXPECT_EQ(f.cab.Compress(), 0);
    EXPECT_TRUE(f.cab.Calls.empty());
}

TEST(CompressDriver, CancelWhileTheFourthOfTenIsAdded) {
    Fixture f;
    for (int i = 0; i < 10; ++i)
        WriteFile(f.dir / ("f" + std::to_string(i) + ".txt"));
    f.cab.FileSpec() = {f.dir / "*.txt"};
    f.cab.DuringCompress = [&](int index) {
        if (index == 3)
            f.cab.SetCancel(true);
    };
    EXPECT_EQ(f.cab.Compress(), 3);
    EXPECT_EQ(f.cab.Calls.size(), 4u);
    EXPECT_EQ(f.cab.CurrentEntry.Number, 3);
    EXPECT_TRUE(f.cab.HasError(kErrUserCanceled));
}

TEST(CompressDriver, MissingArchiveFolderIsRefusedBeforeTheScan) {
    Fixture f;
    WriteFile(f.dir / "a.txt");
    f.cab.SetArchiveFile(f.dir / "nowhere/deeper/x.cab");
    f.cab.FileSpec() = {f.dir / "*.txt"};
    EXPECT_EQ(f.cab.Compress(), 0);
    ASSERT_EQ(f.cab.Errors.size(), 1u);
    EXPECT_EQ(f.cab.Errors[0].Code, kErrNotAccessible);
    EXPECT_EQ(f.cab.Errors[0].FileName, f.dir / "nowhere/deeper");
    EXPECT_EQ(f.foldersEntered, 0);
}

TEST(CompressDriver, ReadOnlyFileSystemIsWriteProtected) {
    Fixture f;
    std::string mountPoint = f.dir / "ro";
    MakeDir(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "cannot mount a read-only file system here";
    WriteFile(f.dir / "a.txt");
    f.cab.SetArchiveFile(mountPoint + "/x.cab");
    f.cab.FileSpec() = {f.dir / "*.txt"};
    int result = f.cab.Compress();
    ::umount(mountPoint.c_str());
    EXPECT_EQ(result, 0);
    ASSERT_EQ(f.cab.Errors.size(), 1u);
    EXPECT_EQ(f.cab.Errors[0].Code, kErrWriteProtected);
    EXPECT_EQ(f.foldersEntered, 0);
}

TEST(CompressDriver, DiskCheckRemembersTheFileSystem) {
    Fixture f;
    EXPECT_TRUE(f.cab.CheckArchiveDisk());
    EXPECT_EQ(f.cab.DiskManager.Drive, f.dir / "out");
    EXPECT_EQ(f.cab.DiskManager.SerialNumber.size(), 8u);
    EXPECT_GT(f.cab.DiskManager.TotalSpace, 0.0);
    // The probe file was removed again.
    EXPECT_EQ(::rmdir((f.dir / "out").c_str()), 0);
}

TEST(CompressDriver, UserDefinedDefaultDirIsRequired) {
    Fixture f;
    WriteFile(f.dir / "a.txt");
    f.cab.FileSpec() = {f.dir / "*.txt"};
    f.cab.SetStoredDirNames(sdExplorer_UserDefineDefaultDir);
    EXPECT_EQ(f.cab.Compress(), 0);
    ASSERT_EQ(f.cab.Errors.size(), 1u);
    EXPECT_EQ(f.cab.Errors[0].Code, kErrRequiredProperty);
    EXPECT_EQ(f.cab.Errors[0].ExtendedMsg, "DefaultDir");
}

// The names entries are stored under, by the rule for folder names: the files made below the
// scratch folder (a name ending in "/" is an empty folder), the masks and exclusions, and the
// stored names expected, one entry each.
struct DriverNaming {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> masks;
    std::vector<std::string> excluded;
    TStoredDirNames rule;
    bool withFolders; // folders match the masks too
    std::vector<std::string> stored;
    const char* defaultDir; // the common folder found, below the scratch folder; nullptr: none
};

class CompressDriverNames : public ::testing::TestWithParam<DriverNaming> {};

TEST_P(CompressDriverNames, AreStoredByTheRule) {
    const DriverNaming& c = GetParam();
    Fixture f;
    for (const std::string& file : c.files) {
        if (file.back() == '/')
            std::filesystem::create_directories(f.dir / file);
        else
            WriteFile(f.dir / file);
    }
    for (const std::string& mask : c.masks)
        f.cab.FileSpec().push_back(f.dir / mask);
    f.cab.ExcludeSpec() = c.excluded;
    f.cab.SetStoredDirNames(c.rule);
    f.cab.SetAttribute(fsDirectory, c.withFolders);
    EXPECT_EQ(f.cab.Compress(), static_cast<int>(c.stored.size()));
    EXPECT_EQ(f.cab.StoredNames(), c.stored);
    if (c.defaultDir != nullptr) {
        EXPECT_EQ(f.cab.DefaultDir, f.dir / c.defaultDir);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, CompressDriverNames,
                         ::testing::Values(DriverNaming{"ExplorerAutoStoresBelowTheCommonFolder",
                                                        {"r/x/1.txt", "r/xy/2.txt"},
                                                        {"r/x/*.txt", "r/xy/*.txt"},
                                                        {},
                                                        sdExplorer_Auto,
                                                        false,
                                                        {"x/1.txt", "xy/2.txt"},
                                                        "r/"},
                                           DriverNaming{
                                               "RelativeStoreStartKeepsEachGroupsFolderName",
                                               {"Data/x.txt", "Docs/Work/sub/y.txt"},
                                               {"Docs/Work/*.*", "Data/*.*"},
                                               {},
                                               sdRelativeStoreStart,
                                               false,
                                               {"Data/x.txt", "Work/sub/y.txt"},
                                               nullptr},
                                           DriverNaming{"ExcludeSpecUnderRelativeStoreStart",
                                                        {"Dokumenty/a/b.tmp", "Dokumenty/a/c.txt"},
                                                        {"Dokumenty/*.*"},
                                                        {"*.tmp"},
                                                        sdRelativeStoreStart,
                                                        false,
                                                        {"Dokumenty/a/c.txt"},
                                                        nullptr},
                                           DriverNaming{"SameFileThroughTwoGroupsIsOneEntry",
                                                        {"d/sub/x.txt", "d/y.txt"},
                                                        {"d/*.txt", "d/sub/*.txt"},
                                                        {},
                                                        sdRelative,
                                                        false,
                                                        {"sub/x.txt", "y.txt"},
                                                        nullptr},
                                           DriverNaming{"FoldersDifferingInCaseAreBothBackedUp",
                                                        {"Data/x.txt", "data/y.txt"},
                                                        {"Data/*.txt", "data/*.txt"},
                                                        {},
                                                        sdRelativeStoreStart,
                                                        false,
                                                        {"Data/x.txt", "data/y.txt"},
                                                        nullptr},
                                           DriverNaming{"FolderEntriesAreNeverAdded",
                                                        {"src/empty/", "src/a.txt"},
                                                        {"src/*.*"},
                                                        {},
                                                        sdRelative,
                                                        true,
                                                        {"a.txt"},
                                                        nullptr}),
                         testsupport::ParamName());

TEST(CompressDriver, NamesDifferingInCaseAreBothKept) {
    Fixture f;
    WriteFile(f.dir / "Report.txt", "upper");
    WriteFile(f.dir / "report.txt", "lower");
    f.cab.FileSpec() = {f.dir / "*.txt"};
    f.cab.SetStoredDirNames(sdAbsolute); // stored names are looked up among the entries
    EXPECT_EQ(f.cab.Compress(), 2);

    RecordingCab second;
    second.SetArchiveFile(f.dir / "out/b.cab");
    second.FileSpec() = {f.dir / "*.txt", f.dir / "none/*.txt"}; // full paths looked up too
    EXPECT_EQ(second.Compress(), 2);
    EXPECT_EQ(second.StoredNames(), (std::vector<std::string>{"Report.txt", "report.txt"}));
}

TEST(CompressDriver, RootGroupStoresBelowTheRoot) {
    // A group of "/" itself: the names keep everything below the root.
    RecordingCab cab;
    Scratch dir;
    cab.SetArchiveFile(dir / "x.cab");
    cab.SetRecurseDirs(false);
    cab.SetStoredDirNames(sdRelativeStoreStart);
    cab.FileSpec() = {"/*.*"};
    cab.SetAttribute(fsDirectory, true);
    cab.Compress();
    EXPECT_EQ(cab.GroupRoot, "/");
    for (const auto& call : cab.Calls)
        EXPECT_EQ("/" + call.StoredName, call.FullName);
}

TEST(CompressDriver, ScanEventsAreRouted) {
    Fixture f;
    MakeDir(f.dir / "src");
    WriteFile(f.dir / "src/a.txt", "abc");
    f.cab.FileSpec() = {f.dir / "src/*.txt"};
    std::vector<std::string> scanned;
    double lastSize = 0;
    f.cab.OnFileScanStatus = [&](TComponent* sender, const std::string& name, int, double size) {
        EXPECT_EQ(sender, &f.cab);
        scanned.push_back(name);
        lastSize = size;
    };
    f.cab.Compress();
    EXPECT_EQ(scanned, std::vector<std::string>{"a.txt"});
    EXPECT_DOUBLE_EQ(lastSize, 3.0);
    EXPECT_EQ(f.foldersEntered, 1);
}

TEST(CompressDriver, FilesTooLargeForACabinetAreLeftOutAndReported) {
    Fixture f;
    MakeDir(f.dir / "src");
    std::string big = f.dir / "src/big.bin";
    std::string edge = f.dir / "src/edge.bin";
    // One folder of a cabinet holds 65535 blocks of 32 KiB: 0x7FFF8000 bytes.
    for (auto [path, size] : {std::pair{big, 0x7FFF8000ll}, std::pair{edge, 0x7FFF7FFFll}}) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        if (::ftruncate(fd, size) != 0) {
            ::close(fd);
            GTEST_SKIP() << "no sparse files here";
        }
        ::close(fd);
    }
    WriteFile(f.dir / "src/small.txt", "xy");
    f.cab.FileSpec() = {f.dir / "src/*.*", f.dir / "src/*.bin"};
    EXPECT_EQ(f.cab.Compress(), 2);
    EXPECT_EQ(f.cab.StoredNames(), (std::vector<std::string>{"edge.bin", "small.txt"}));
    int reports = 0;
    for (const auto& e : f.cab.Errors) {
        EXPECT_EQ(e.Code, kErrFileTooLarge);
        EXPECT_EQ(e.FileName, big);
        ++reports;
    }
    EXPECT_EQ(reports, 1);
    for (const auto& call : f.cab.Calls) {
        if (call.StoredName == "edge.bin") {
            EXPECT_EQ(call.BytesLeft, 0x7FFF7FFFu);
        }
    }
    // The progress base holds only what can go into the cabinet.
    EXPECT_DOUBLE_EQ(f.cab.ArchiveBytesTotal, 0x7FFF7FFFp0 + 2.0);
}
