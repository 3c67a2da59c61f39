// The catalog every backup carries and the folders of a few MiB, through ostrivane-cab as a user
// runs it and checked with the independent readers: a home comes back as it was, one damaged
// block costs the files of one folder, and an archive written before the catalog restores as it
// always did.
#include "CabTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kTool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";

struct stat Lstat(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

std::string LinkTarget(const std::string& path) {
    char text[256] = "";
    const ssize_t length = ::readlink(path.c_str(), text, sizeof text - 1);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

} // namespace

TEST(CatalogTest, AHomeComesBackAsItWasAndTheArchiveIsPrivate) {
    Scratch work;
    const std::string home = work / "home";
    WriteFile(home + "/.ssh/id_ed25519", "secret key");
    WriteFile(home + "/bin/run.sh", "#!/bin/sh\necho run\n");
    WriteFile(home + "/notes.txt", CompressibleText(50000));
    testsupport::MakeDir(home + "/empty");
    ASSERT_EQ(::symlink("notes.txt", (home + "/latest").c_str()), 0);
    ASSERT_EQ(::chmod((home + "/.ssh/id_ed25519").c_str(), 0600), 0);
    ASSERT_EQ(::chmod((home + "/.ssh").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((home + "/bin/run.sh").c_str(), 04755), 0);
    ASSERT_EQ(Shell("touch -d '2021-05-06 07:08:09.123456789' " + Quote(home + "/notes.txt") + " " +
                    Quote(home + "/empty") + " " + Quote(home + "/.ssh")),
              0);
    const std::string archive = work / "backup.cab";
    std::string output;
    ASSERT_EQ(Shell("umask 022 && " + Quote(kTool) + " --quiet --recurse " + Quote(archive) + " " +
                        Quote(home + "/*"),
                    &output),
              0)
        << output;
    EXPECT_EQ(Lstat(archive).st_mode & 07777, 0600u);

    // Every cabinet tool takes the archive and lists the user's files (and the catalog beside).
    EXPECT_EQ(testsupport::ReadersAccept(archive), "");
    EXPECT_EQ(testsupport::CabextractNames(archive),
              (std::set<std::string>{"home/.ssh/id_ed25519", "home/bin/run.sh", "home/notes.txt"}));

    const std::string back = work / "back";
    ASSERT_EQ(Shell("umask 077 && " + Quote(kTool) + " --extract --quiet " + Quote(back) + " " +
                        Quote(archive),
                    &output),
              0)
        << output;
    for (const char* name : {".ssh", ".ssh/id_ed25519", "bin/run.sh", "notes.txt", "empty"}) {
        const struct stat was = Lstat(home + "/" + name);
        const struct stat is = Lstat(back + "/home/" + name);
        // Never set-user-ID, set-group-ID or sticky.
        EXPECT_EQ(is.st_mode & 07777, was.st_mode & 0777) << name;
        EXPECT_EQ(is.st_mtim.tv_sec, was.st_mtim.tv_sec) << name;
        EXPECT_EQ(is.st_mtim.tv_nsec, was.st_mtim.tv_nsec) << name;
    }
    EXPECT_EQ(ReadFile(back + "/home/notes.txt"), ReadFile(home + "/notes.txt"));
    EXPECT_TRUE(S_ISDIR(Lstat(back + "/home/empty").st_mode));
    EXPECT_TRUE(S_ISLNK(Lstat(back + "/home/latest").st_mode));
    EXPECT_EQ(LinkTarget(back + "/home/latest"), "notes.txt");
    // The catalog itself is never written out.
    EXPECT_FALSE(Exists(back + "/.ostrivane-catalog"));
}

TEST(CatalogTest, AFlippedByteCostsAtMostTheFilesOfOneFolder) {
    Scratch work(true);
    for (int i = 0; i < 2000; ++i)
        WriteFile(work / ("src/d" + std::to_string(i % 20) + "/f" + std::to_string(i) + ".txt"),
                  CompressibleText(1000 + (i * 7919) % 20000, static_cast<std::uint32_t>(i)));
    const std::string archive = work / "backup.cab";
    std::string output;
    ASSERT_EQ(
        Shell(Quote(kTool) + " --quiet --recurse " + Quote(archive) + " " + Quote(work / "src/*"),
              &output),
        0)
        << output;
    std::string bytes = ReadFile(archive);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x01);
    WriteFile(archive, bytes);
    EXPECT_EQ(
        Shell(Quote(kTool) + " --extract --quiet " + Quote(work / "ours") + " " + Quote(archive),
              &output),
        1);
    std::size_t ours = 0;
    for (const auto& [name, content] : TreeContents(work / "ours"))
        ours += name.rfind("src/", 0) == 0 ? 1 : 0;
    EXPECT_GE(ours, 1900u) << output;
    EXPECT_LT(ours, 2000u) << "the damage was not found";
    // cabextract names each file it finds damaged.
    Shell("cabextract -t " + Quote(archive), &output);
    std::size_t damaged = 0;
    for (std::size_t at = output.find("checksum error"); at != std::string::npos;
         at = output.find("checksum error", at + 1))
        ++damaged;
    EXPECT_GE(damaged, 1u) << output;
    EXPECT_LE(damaged, 100u) << output;
}

// A backup made by ostrivane-cab before cabinets carried a catalog (tests/fixtures): restored
// as ever, its files with their stored times and attributes, its list dated by its file.
TEST(CatalogTest, AnArchiveWrittenBeforeRestoresAsBefore) {
    Scratch work;
    const std::string fixture =
        std::string(OSTRIVANE_SOURCE_DIR) + "/tests/fixtures/before-catalog.cab";
    const std::string archive = work / "old.cab";
    WriteFile(archive, ReadFile(fixture));
    ASSERT_FALSE(ReadCabDirectory(archive).Catalog.has_value());
    std::string output;
    EXPECT_EQ(Shell(Quote(kTool) + " --test " + Quote(archive), &output), 0) << output;
    ASSERT_EQ(
        Shell(Quote(kTool) + " --extract --quiet " + Quote(work / "back") + " " + Quote(archive),
              &output),
        0)
        << output;
    const auto libarchive = testsupport::LibarchiveFiles(archive);
    ASSERT_TRUE(libarchive.has_value());
    EXPECT_EQ(TreeContents(work / "back"), *libarchive);
    EXPECT_EQ(Lstat(work / "back/old/ro.txt").st_mode & 0222, 0u) << "read-only stays read-only";
    ASSERT_EQ(Shell("touch -d '2020-01-01 12:00' " + Quote(archive)), 0);
    EXPECT_EQ(Shell(Quote(kTool) + " --list " + Quote(archive), &output), 0);
    EXPECT_EQ(output.rfind("2020-01-01 12:00:00  čas souboru zálohy", 0), 0u) << output;
}
