// The scanner: FileSpec groups, mask folding, hidden names, the folder walk and what it
// hands on.
#include "ArchiveTestSupport.h"

#include "archive/scan/TvrkFileScan.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>

namespace {

struct ScanResult {
    std::vector<std::string> Groups;
    std::set<std::string> Files; // folder + name of every file handed on
    std::vector<std::string> Folders;
};

ScanResult RunScan(TvrkFileScan& scanner) {
    ScanResult result;
    scanner.OnRootDirChange = [&](TComponent*, const std::string& dir) {
        result.Groups.push_back(dir);
    };
    scanner.Scan();
    for (const TFileObject& f : scanner.FilesList()) {
        if (f.FileName.empty())
            result.Folders.push_back(f.Folder);
        else
            result.Files.insert(f.Folder + f.FileName);
    }
    return result;
}

ScanResult ScanSpecs(const std::vector<std::string>& specs, bool recurse = true) {
    TvrkFileScan scanner;
    scanner.SetFileSpec(specs);
    scanner.RecurseDirs = recurse;
    return RunScan(scanner);
}

// Runs `body` in a child process and gives its exit status, or -1 when it had to be killed
// after `seconds`: a scan that blocks on a FIFO must not hang the test run.
int RunGuarded(const std::function<int()>& body, int seconds) {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    for (int waited = 0; waited < seconds * 10; ++waited) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        ::usleep(100000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

} // namespace

TEST(ScanGroups, BroaderMaskReplacesNarrowerInOneGroup) {
    Scratch dir;
    WriteFile(dir / "a.txt");
    WriteFile(dir / "Makefile");
    auto result = ScanSpecs({dir / "*.txt", dir / "*.*"});
    EXPECT_EQ(result.Groups, std::vector<std::string>{dir.Path() + "/"});
    // "*.*" was folded in and compiled as "*": a name without a dot is found too.
    EXPECT_EQ(result.Files, (std::set<std::string>{dir / "a.txt", dir / "Makefile"}));
}

TEST(ScanGroups, CoveredMaskAddsNothingAndOthersAreKept) {
    Scratch dir;
    WriteFile(dir / "a.txt");
    WriteFile(dir / "b.doc");
    WriteFile(dir / "c.pdf");
    auto result = ScanSpecs({dir / "*.txt", dir / "a.txt", dir / "*.doc"});
    EXPECT_EQ(result.Groups.size(), 1u);
    EXPECT_EQ(result.Files, (std::set<std::string>{dir / "a.txt", dir / "b.doc"}));
}

TEST(ScanGroups, FolderCaseMakesSeparateGroups) {
    Scratch dir;
    MakeDir(dir / "Data");
    MakeDir(dir / "data");
    WriteFile(dir / "Data/x.txt");
    WriteFile(dir / "data/y.doc");
    auto result = ScanSpecs({dir / "Data/*.txt", dir / "data/*.doc"});
    EXPECT_EQ(result.Groups, (std::vector<std::string>{dir / "Data/", dir / "data/"}));
    EXPECT_EQ(result.Files, (std::set<std::string>{dir / "Data/x.txt", dir / "data/y.doc"}));
}

TEST(ScanGroups, SubfolderIsAGroupOfItsOwn) {
    Scratch dir;
    MakeDir(dir / "Sub");
    WriteFile(dir / "Sub/s.txt");
    WriteFile(dir / "t.txt");
    auto result = ScanSpecs({dir / "*.txt", "  ", dir / "Sub/*.txt"}, false);
    EXPECT_EQ(result.Groups, (std::vector<std::string>{dir / "", dir / "Sub/"}));
    EXPECT_EQ(result.Files, (std::set<std::string>{dir / "t.txt", dir / "Sub/s.txt"}));
}

TEST(ScanGroups, MissingFolderContributesNothing) {
    Scratch dir;
    WriteFile(dir / "a.txt");
    auto result = ScanSpecs({dir / "none/*.*", dir / "*.*"});
    EXPECT_EQ(result.Files, (std::set<std::string>{dir / "a.txt"}));
}

// Hidden files and folders (a leading ".") are backed up like any other; only "." and ".." are
// passed over. A folder tagged as a cache is not entered, and a tag without the signature
// tags nothing.
TEST(ScanWalk, DotNamesAreTakenAndCacheFoldersAreNotEntered) {
    Scratch dir;
    for (const char* folder : {".ssh", "cache", "notcache"})
        MakeDir(dir / folder);
    WriteFile(dir / ".bashrc");
    WriteFile(dir / ".ssh/id_ed25519");
    WriteFile(dir / "shown.txt");
    WriteFile(dir / "cache/CACHEDIR.TAG",
              "Signature: 8a477f597d28d172789f06886806bc55\n# a cache tag\n");
    WriteFile(dir / "cache/blob.bin");
    WriteFile(dir / "notcache/CACHEDIR.TAG", "Signature: not the right one\n");
    TvrkFileScan scanner;
    scanner.SetFileSpec({dir / "*"});
    scanner.Attributes = {fsArchive, fsHidden};
    scanner.IncludeHiddenDirs = true;
    std::vector<std::string> entered;
    scanner.OnRecurseDir = [&](TComponent*, const std::string& d) { entered.push_back(d); };
    auto result = RunScan(scanner);
    EXPECT_EQ(result.Files,
              (std::set<std::string>{dir / ".bashrc", dir / ".ssh/id_ed25519", dir / "shown.txt",
                                     dir / "notcache/CACHEDIR.TAG"}));
    std::sort(entered.begin(), entered.end());
    EXPECT_EQ(entered, (std::vector<std::string>{dir / "", dir / ".ssh/", dir / "notcache/"}));
}

TEST(ScanWalk, RecursesDepthFirstAndOnlyWhenAsked) {
    Scratch dir;
    MakeDir(dir / "a");
    MakeDir(dir / "a/b");
    WriteFile(dir / "a/b/deep.txt");
    WriteFile(dir / "top.txt");
    EXPECT_EQ(ScanSpecs({dir / "*.txt"}, true).Files,
              (std::set<std::string>{dir / "top.txt", dir / "a/b/deep.txt"}));
    EXPECT_EQ(ScanSpecs({dir / "*.txt"}, false).Files, (std::set<std::string>{dir / "top.txt"}));
}

TEST(ScanWalk, FolderEntriesPassTheFiltersWithTheirFullPath) {
    Scratch dir;
    MakeDir(dir / "sub");
    TvrkFileScan scanner;
    scanner.SetFileSpec({dir / "*.*"});
    scanner.Attributes = {fsDirectory};
    auto result = RunScan(scanner);
    EXPECT_EQ(result.Folders, std::vector<std::string>{dir / "sub"});
}

TEST(ScanWalk, AttributeFilters) {
    Scratch dir;
    WriteFile(dir / "rw.txt");
    WriteFile(dir / "ro.txt");
    ::chmod((dir / "ro.txt").c_str(), 0444);
    TvrkFileScan scanner;
    scanner.SetFileSpec({dir / "*.txt"});
    scanner.Attributes = {fsArchive};
    scanner.AttributesEx = {fsReadOnly};
    EXPECT_EQ(RunScan(scanner).Files, (std::set<std::string>{dir / "rw.txt"}));
    scanner.SetFileSpec({dir / "*.txt"});
    scanner.Attributes = {fsReadOnly};
    scanner.AttributesEx = {};
    EXPECT_EQ(RunScan(scanner).Files, (std::set<std::string>{dir / "ro.txt"}));
}

TEST(ScanWalk, TotalsAndScanEvents) {
    Scratch dir;
    WriteFile(dir / "a.txt", "12345");
    WriteFile(dir / "b.txt", "123");
    TvrkFileScan scanner;
    scanner.SetFileSpec({dir / "*.txt"});
    std::vector<std::string> scanned;
    int finishedCount = -1;
    double finishedSize = -1;
    scanner.OnScanFile = [&](TComponent*, const std::string& name, int, double) {
        scanned.push_back(name);
    };
    scanner.OnFinished = [&](TComponent*, int count, double size) {
        finishedCount = count;
        finishedSize = size;
    };
    scanner.Scan();
    std::sort(scanned.begin(), scanned.end());
    EXPECT_EQ(scanned, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(finishedCount, 2);
    EXPECT_DOUBLE_EQ(finishedSize, 8.0);
}

TEST(ScanWalk, SymbolicLinkLoopIsNotFollowed) {
    Scratch dir;
    MakeDir(dir / "d");
    WriteFile(dir / "d/f.txt");
    ASSERT_EQ(::symlink("..", (dir / "d/up").c_str()), 0);
    ASSERT_EQ(::symlink(".", (dir / "d/self").c_str()), 0);
    std::string root = dir.Path();
    // Following the links would never end: the scan runs in a guarded child.
    int status = RunGuarded(
        [root] {
            TvrkFileScan scanner;
            scanner.SetFileSpec({root + "/*.*"});
            scanner.Attributes = {fsArchive, fsDirectory};
            int entered = 0;
            scanner.OnRecurseDir = [&](TComponent*, const std::string&) { ++entered; };
            auto result = RunScan(scanner);
            bool ok = result.Files == std::set<std::string>{root + "/d/f.txt"} &&
                      result.Folders == std::vector<std::string>{root + "/d"};
            // The group folder and d are entered, never anything through a link.
            return ok && entered == 2 ? 0 : 1;
        },
        20);
    EXPECT_EQ(status, 0) << "-1: the walk did not end";
}

TEST(ScanWalk, LinkToARegularFileCountsAsItsTarget) {
    Scratch dir;
    MakeDir(dir / "src");
    MakeDir(dir / "elsewhere");
    WriteFile(dir / "elsewhere/target.bin", std::string(1234, 'x'));
    ASSERT_EQ(::symlink((dir / "elsewhere/target.bin").c_str(), (dir / "src/link.bin").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "src/dangling.bin").c_str()), 0);
    TvrkFileScan scanner;
    scanner.SetFileSpec({dir / "src/*.*"});
    scanner.Scan();
    ASSERT_EQ(scanner.FilesList().size(), 1u);
    const TFileObject& f = scanner.FilesList()[0];
    EXPECT_EQ(f.FileName, "link.bin");
    EXPECT_EQ(f.SizeLow, 1234u);
    EXPECT_EQ(f.Attributes & 0x20u, 0x20u);
}

TEST(ScanWalk, FifosSocketsAndDevicesAreNeverOpened) {
    Scratch dir;
    WriteFile(dir / "plain.txt");
    ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0644), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string sockPath = dir / "sock.txt";
    if (sockPath.size() < sizeof addr.sun_path) {
        std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
        ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    ASSERT_EQ(::symlink("/dev/null", (dir / "null.txt").c_str()), 0);
    std::string folder = dir.Path();
    int status = RunGuarded(
        [folder] {
            RecordingCab cab;
            cab.SetArchiveFile(folder + "/out/archive.cab");
            MakeDir(folder + "/out");
            cab.FileSpec() = {folder + "/*.txt"};
            cab.SetAttribute(fsZeroAttr, true);
            cab.SetAttribute(fsSysFile, true);
            int added = cab.Compress();
            bool onlyPlain = cab.Calls.size() == 1 && cab.Calls[0].StoredName == "plain.txt";
            return added == 1 && onlyPlain ? 0 : 10 + static_cast<int>(cab.Calls.size());
        },
        20);
    ::close(sock);
    EXPECT_EQ(status, 0) << "-1: the scan hung; 10+n: n entries were handed on";
}

TEST(ScanWalk, VeryLongPathsAndOddNames) {
    Scratch dir;
    // Nested folders created relative to each other, far past PATH_MAX in total.
    std::string component(200, 'n');
    int fd = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::string expected = dir.Path() + "/";
    for (int level = 0; level < 20; ++level) {
        ASSERT_EQ(::mkdirat(fd, component.c_str(), 0755), 0);
        int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        expected += component + "/";
    }
    const std::string odd = "\xff\xfe odd\x01 name.bin";
    int file = ::openat(fd, odd.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ::close(file);
    ::close(fd);
    ASSERT_GT(expected.size(), 4000u);

    TvrkFileScan scanner;
    scanner.SetFileSpec({dir / "*"});
    scanner.Scan();
    ASSERT_EQ(scanner.FilesList().size(), 1u);
    EXPECT_EQ(scanner.FilesList()[0].Folder, expected);
    EXPECT_EQ(scanner.FilesList()[0].FileName, odd);
}

TEST(ScanWalk, CancelStopsTheWalkAndOnFinishedStillFires) {
    Scratch dir;
    for (int i = 0; i < 50; ++i)
        WriteFile(dir / ("f" + std::to_string(i) + ".txt"));
    TvrkFileScan scanner;
    scanner.SetFileSpec({dir / "*.txt", dir / "none/*.txt"});
    int events = 0;
    bool finished = false;
    scanner.ProcessMessages = [&] {
        if (++events == 5)
            scanner.Stop();
    };
    scanner.OnFinished = [&](TComponent*, int, double) { finished = true; };
    auto result = RunScan(scanner);
    EXPECT_EQ(result.Files.size(), 5u);
    EXPECT_EQ(result.Groups.size(), 1u); // the group loop ended too
    EXPECT_TRUE(finished);
}

TEST(ScanOwnModes, MaskStringAndSorting) {
    Scratch dir;
    WriteFile(dir / "b.txt", "1");
    WriteFile(dir / "a.doc", "333");
    WriteFile(dir / "c.pdf", "22");
    TvrkFileScan scanner;
    scanner.SetRootDir(dir.Path());
    EXPECT_EQ(scanner.RootDir(), dir / "");
    scanner.MaskString = "*.txt, *.doc";
    scanner.Scan();
    EXPECT_EQ(scanner.FilesList().size(), 2u);
    int finished = 0;
    scanner.OnFinished = [&](TComponent*, int, double) { ++finished; };
    scanner.SetSorted(soBySize);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(scanner.FilesList()[0].FileName, "b.txt");
    scanner.SetSorted(soByName);
    EXPECT_EQ(scanner.FilesList()[0].FileName, "a.doc");
}
