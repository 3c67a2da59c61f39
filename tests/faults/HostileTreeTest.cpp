// Source trees that try to trap the walk or the add: link loops and links out of the tree,
// FIFOs, sockets and devices, a huge folder, names no code page holds, paths far longer than
// a cabinet name, a sparse file too large for a cabinet. Every build runs in a child that is
// killed when it takes too long; afterwards the cabinet must hold every regular file of the
// tree except those the build reported.
#include "FaultSupport.h"

#include "archive/model/ErrorCodes.h"
#include "cabinet/read/CabinetRestore.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>

namespace faults {
namespace {

class HostileTree : public ::testing::Test {
protected:
    std::string src() const { return dir / "src"; }
    std::string archive() const { return dir / "out/archive.cab"; }

    void SetUp() override {
        ::mkdir(src().c_str(), 0755);
        ::mkdir((dir / "out").c_str(), 0755);
    }

    GuardedBuild Build(int seconds = 60) {
        return BuildGuarded(
            [&](TMakeCab& cab) {
                ConfigureForBackup(cab, archive(), {src() + "/*.*"}, true, dir / "out");
            },
            seconds, dir / "reports");
    }

    // The stored name of a path below the source folder.
    std::string StoredName(const std::string& path) const {
        if (path.rfind(src() + "/", 0) != 0)
            return std::string();
        std::string name = "src\\" + path.substr(src().size() + 1);
        std::replace(name.begin(), name.end(), '/', '\\');
        return name;
    }

    // The cabinet holds every regular file of the tree but the reported ones.
    void ExpectEveryFileButTheReported(const GuardedBuild& build) {
        ASSERT_TRUE(CabextractAccepts(archive())) << build.Describe();
        std::set<std::string> expected = StoredNamesOfTree(src(), true);
        for (const Report& r : build.reports) {
            expected.erase(StoredName(r.FileName));
            expected.erase(StoredName(r.ExtendedMsg));
        }
        const CabDirectory listing = ReadCabDirectory(archive());
        ASSERT_TRUE(listing.Valid);
        std::set<std::string> stored;
        for (const auto& [name, size] : listing.SizesByName())
            stored.insert(name);
        EXPECT_EQ(stored, expected) << build.Describe();
        EXPECT_EQ(listing.Files.size(), listing.SizesByName().size()) << "a name is stored twice";
    }

    Scratch dir;
};

TEST_F(HostileTree, LinkLoopsAndLinksOutOfTheTreeAreNotFollowed) {
    WriteFile(src() + "/a.txt", "a");
    WriteFile(src() + "/d/f.txt", "f");
    WriteFile(dir / "outside/target.txt", "target");
    WriteFile(dir / "outside/inner.txt", "not below the source");
    ASSERT_EQ(::symlink("..", (src() + "/d/up").c_str()), 0);
    ASSERT_EQ(::symlink(".", (src() + "/d/self").c_str()), 0);
    ASSERT_EQ(::symlink("/", (src() + "/root").c_str()), 0);
    ASSERT_EQ(::symlink("../outside", (src() + "/elsewhere").c_str()), 0);
    ASSERT_EQ(::symlink("../outside/target.txt", (src() + "/link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (src() + "/dangling.txt").c_str()), 0);
    const GuardedBuild build = Build();
    ASSERT_EQ(build.status, 2) << "-1: the walk did not end; " << build.Describe();
    EXPECT_TRUE(build.reports.empty()) << build.Describe();
    ExpectEveryFileButTheReported(build);
    EXPECT_EQ(CabextractNames(archive()), (std::set<std::string>{"src/a.txt", "src/d/f.txt"}));
    // Every link is recorded as the link it is and comes back as one, inside the target; what
    // it points to is never written.
    const std::string back = dir / "back";
    RestoreOptions options;
    options.Decoder = CabinetDecoder::Own;
    EXPECT_TRUE(RestoreCabinetSet({archive()}, back, options, {}).Complete());
    const std::pair<const char*, const char*> links[] = {{"src/d/up", ".."},
                                                         {"src/d/self", "."},
                                                         {"src/root", "/"},
                                                         {"src/elsewhere", "../outside"},
                                                         {"src/link.txt", "../outside/target.txt"},
                                                         {"src/dangling.txt", "nowhere"}};
    for (const auto& [name, target] : links) {
        char text[256] = "";
        const ssize_t length = ::readlink((back + "/" + name).c_str(), text, sizeof text - 1);
        EXPECT_EQ(std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0), target)
            << name;
    }
    EXPECT_EQ(ReadFile(dir / "outside/target.txt"), "target");
}

TEST_F(HostileTree, FifosSocketsAndDevicesAreNeverOpened) {
    WriteFile(src() + "/plain.txt", "plain");
    WriteFile(src() + "/sub/deep.txt", "deep");
    ASSERT_EQ(::mkfifo((src() + "/pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((src() + "/sub/pipe").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = src() + "/socket";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // /dev/zero never ends: opened and read, it would fill the disk.
    ASSERT_EQ(::symlink("/dev/zero", (src() + "/zero.bin").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (src() + "/null.bin").c_str()), 0);
    const bool madeDevice =
        ::mknod((src() + "/zero-device").c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;
    const GuardedBuild build = Build();
    ::close(sock);
    ASSERT_EQ(build.status, 2) << "-1: the build hung; " << build.Describe();
    EXPECT_TRUE(build.reports.empty()) << build.Describe();
    ExpectEveryFileButTheReported(build);
    EXPECT_EQ(CabextractNames(archive()),
              (std::set<std::string>{"src/plain.txt", "src/sub/deep.txt"}))
        << (madeDevice ? "" : "(no device node could be made here)");
}

// A cabinet holds at most 65,535 files: the backup goes on in a second part, a cabinet of its
// own, and every file is in exactly one of the two.
// A link into a folder its user cannot enter: the link is recorded as it is, never followed, and
// every file of its folder is backed up (run as the unprivileged user, for whom the permission
// holds).
TEST_F(HostileTree, ALinkIntoAFolderThatCannotBeEnteredIsRecordedAndTheRestOfItsFolderTaken) {
    for (int i = 0; i < 20; ++i)
        WriteFile(src() + "/f" + std::to_string(i) + ".txt", "file " + std::to_string(i));
    WriteFile(dir / "locked/secret.txt", "secret");
    ASSERT_EQ(::symlink((dir / "locked/secret.txt").c_str(), (src() + "/link.txt").c_str()), 0);
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0700), 0);
    ASSERT_TRUE(HandOver(src(), true));
    ASSERT_TRUE(HandOver(dir / "out"));
    const std::string reports = dir / "out/reports";
    const int status = RunUnprivileged(
        [&] {
            std::string written;
            TMakeCab cab;
            cab.OnError = [&](TComponent*, const std::string& file, const std::string&,
                              const std::string&,
                              int code) { written += std::to_string(code) + " " + file + "\n"; };
            ConfigureForBackup(cab, archive(), {src() + "/*.*"}, true, dir / "out");
            const int added = cab.Compress();
            WriteFile(reports, written);
            return added;
        },
        60);
    if (!IsRoot())
        ::chmod((dir / "locked").c_str(), 0755);
    // The link is recorded as a link: nothing of it is followed, so nothing is refused.
    EXPECT_EQ(status, 20) << ReadFile(reports);
    EXPECT_EQ(ReadFile(reports), "");
    std::set<std::string> stored;
    for (const auto& [name, size] : ReadCabDirectory(archive()).SizesByName())
        stored.insert(name);
    std::set<std::string> expected;
    for (int i = 0; i < 20; ++i)
        expected.insert("src\\f" + std::to_string(i) + ".txt");
    EXPECT_EQ(stored, expected);
}

TEST(HostileTreeCrowd, AFolderOfAHundredThousandEntriesGoesIntoTwoParts) {
    Scratch dir(true);
    const std::string crowded = dir / "src";
    ASSERT_EQ(::mkdir(crowded.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir / "out").c_str(), 0755), 0);
    const int folder = ::open(crowded.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    for (int i = 0; i < 100000; ++i) {
        const std::string name = "entry" + std::to_string(i);
        const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name;
        if (i % 1000 == 0) {
            ASSERT_EQ(::write(fd, name.data(), name.size()), static_cast<ssize_t>(name.size()));
        }
        ::close(fd);
    }
    ::close(folder);
    const std::string archive = dir / "out/archive.cab";
    const GuardedBuild build = BuildGuarded(
        [&](TMakeCab& cab) {
            ConfigureForBackup(cab, archive, {crowded + "/*.*"}, false, dir / "out");
        },
        120, dir / "reports");
    ASSERT_EQ(build.status, 250) << build.Describe();
    EXPECT_TRUE(build.reports.empty()) << build.Describe();
    std::set<std::string> stored;
    std::size_t entries = 0;
    for (const std::string& part : {archive, dir / "out/archive-2.cab"}) {
        const CabDirectory listing = ReadCabDirectory(part);
        ASSERT_TRUE(listing.Valid) << part;
        EXPECT_EQ(ReadersAccept(part), "") << part;
        entries += listing.Files.size();
        for (const auto& [name, size] : listing.SizesByName())
            stored.insert(name);
    }
    EXPECT_FALSE(Exists(dir / "out/archive-3.cab"));
    EXPECT_EQ(entries, 100000u);
    EXPECT_EQ(stored, StoredNamesOfTree(crowded, false));
}

TEST_F(HostileTree, NamesNoCodePageHolds) {
    const std::vector<std::string> names = {
        "line\nbreak.txt",      "  leading blanks.txt", "trailing blank.txt ", "tab\tinside.txt",
        "\xff\xfe invalid.txt", "half \xc3.txt",        "中文名字.txt",        "Žluťoučký kůň.txt",
        "ǅemal ﬁ.txt",          "emoji 😀.txt",          "-dash.txt",           "quote'\"$(x).txt",
        "ＦＵＬＬ.txt"};
    for (std::size_t i = 0; i < names.size(); ++i)
        WriteFile(src() + "/" + names[i], "file " + std::to_string(i));
    const GuardedBuild build = Build();
    ASSERT_EQ(build.status, static_cast<int>(names.size())) << build.Describe();
    EXPECT_TRUE(build.reports.empty()) << build.Describe();
    ExpectEveryFileButTheReported(build);
    // Names that are UTF-8 come back byte for byte (the others are stored as their bytes, which
    // a reader takes for Latin-1).
    ASSERT_EQ(Shell("mkdir -p " + Quote(dir / "x") + " && cabextract -q -d " + Quote(dir / "x") +
                    " " + Quote(archive())),
              0);
    for (const std::string& name : names) {
        if (name.find('\xff') != std::string::npos || name.find("\xc3.") != std::string::npos)
            continue;
        EXPECT_EQ(ReadFile(dir / ("x/src/" + name)), ReadFile(src() + "/" + name)) << name;
    }
}

// A backslash is an ordinary character of a name here but the separator inside a cabinet: the
// file "a\b.txt" and the file "b.txt" of the folder "a" must not end up as one stored name,
// which a restore would write twice to the same place: the name with the backslash is left out
// and reported.
TEST_F(HostileTree, BackslashInANameDoesNotCollideWithAFolder) {
    WriteFile(src() + "/a\\b.txt", "the file with a backslash");
    WriteFile(src() + "/a/b.txt", "the file in the folder");
    const GuardedBuild build = Build();
    ASSERT_GE(build.status, 0) << build.Describe();
    const CabDirectory listing = ReadCabDirectory(archive());
    ASSERT_TRUE(listing.Valid);
    EXPECT_EQ(listing.Files.size(), listing.SizesByName().size())
        << "two files were stored under the name src\\a\\b.txt";
    EXPECT_EQ(listing.SizesByName().size() + build.reports.size(), 2u) << build.Describe();
}

TEST_F(HostileTree, PathsFarLongerThanACabinetName) {
    WriteFile(src() + "/top.txt", "top");
    int fd = ::open(src().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::string deep = src();
    const std::string component(200, 'n');
    for (int level = 0; level < 21; ++level) {
        ASSERT_EQ(::mkdirat(fd, component.c_str(), 0755), 0);
        const int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        deep += "/" + component;
        if (level == 19) {
            // Just under 4,096 bytes: a path the system still takes whole.
            const int file = ::openat(fd, "at4000.txt", O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(file, 0);
            ASSERT_EQ(::write(file, "deep", 4), 4);
            ::close(file);
        }
    }
    const int file = ::openat(fd, "beyond.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ::close(file);
    ::close(fd);
    ASSERT_GT(deep.size(), 4096u);

    const GuardedBuild build = Build();
    ASSERT_EQ(build.status, 1) << build.Describe();
    ExpectEveryFileButTheReported(build);
    // Both deep files are reported, by their full paths.
    EXPECT_EQ(build.reports.size(), 2u) << build.Describe();
    for (const Report& r : build.reports) {
        const std::string& path = r.ExtendedMsg.empty() ? r.FileName : r.ExtendedMsg;
        EXPECT_EQ(path.rfind(src() + "/" + component, 0), 0u) << build.Describe();
    }
}

TEST_F(HostileTree, SparseFileTooLargeForACabinetIsLeftOutAndReported) {
    WriteFile(src() + "/small.txt", "small");
    const std::string big = src() + "/big.bin";
    const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    // One folder's capacity: 65535 blocks of 32 KiB.
    if (::ftruncate(fd, 0x7FFF8000ll) != 0) {
        ::close(fd);
        GTEST_SKIP() << "no sparse files on this file system";
    }
    ::close(fd);
    // Read through, the file would take long; left out, it takes nothing.
    const GuardedBuild build = Build(30);
    ASSERT_EQ(build.status, 1) << build.Describe();
    ASSERT_EQ(build.reports.size(), 1u) << build.Describe();
    EXPECT_TRUE(build.Reported(kErrFileTooLarge, big)) << build.Describe();
    ExpectEveryFileButTheReported(build);
}

} // namespace
} // namespace faults
