// The gentler restore on backups made by the backup run: files identical to the backup's are left
// alone and counted, changed ones get their copy beside them; the versions of one file across
// the kept backups; the search that ignores accents; a private read-only copy to look at; and the
// time a restore still needs.
#include "app/restore/FileVersions.h"
#include "app/restore/RestoreChoice.h"
#include "app/restore/RestoreTexts.h"
#include "app/restore/TimeLeft.h"
#include "app/restore/ViewCopy.h"
#include "app/run/BackupRun.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"
#include "tests/support/Scratch.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

namespace {

using namespace ostrivane::restore;
using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::TreeContents;
using testsupport::WriteFile;
namespace fs = std::filesystem;

// Backs `source` up into `archive` (keeping `depth` earlier backups) as the window does.
void BackUp(const std::string& source, const std::string& archive, int depth = 1) {
    if (!CabinetLoaded()) {
        ASSERT_TRUE(LoadCabinetLibrary(OSTRIVANE_BUILD_DIR "/libcabinet.so")) << CabinetLoadError();
    }
    fs::create_directories(fs::path(archive).parent_path());
    ostrivane::run::BackupRequest request;
    request.Archive = archive;
    request.FileSpec = {source + "/*.*"};
    request.Recurse = true;
    request.Depth = depth;
    TMakeCab cab;
    const ostrivane::run::RunOutcome outcome = ostrivane::run::RunBackup(cab, request);
    ASSERT_EQ(outcome.Record.Result, ostrivane::run::RunResult::Ok) << outcome.Record.Message;
}

// Changes a file's bytes but keeps its modification time.
void Rewrite(const std::string& path, const std::string& bytes) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    WriteFile(path, bytes);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Restores the whole of `backup` to where it came from (its record of the sources).
RestoreSummary RestoreToOriginalPlaces(const std::vector<Backup>& catalog,
                                       std::set<std::string>* heard = nullptr) {
    const auto places = OriginalPlacesOf(catalog, {{0, {}}}, {}, [](const std::string& prefix) {
        ADD_FAILURE() << "asked where " << prefix << " belongs";
        return std::optional<std::string>();
    });
    RestoreSummary summary;
    if (!places)
        return summary;
    RestoreControl control;
    control.File = [heard](const std::string& name) {
        if (heard != nullptr)
            heard->insert(name);
    };
    RestoreFiles(catalog[0], {}, {}, &places->at(0), control, summary);
    return summary;
}

TEST(GentleRestore, NothingChangedLeavesEveryFileAloneAndOnlyChangedOnesGetACopyBeside) {
    const Scratch work;
    const std::string src = work / "Dokumenty";
    const std::string big = testsupport::RandomBytes(300000, 7);
    WriteFile(src + "/a.txt", "alpha");
    WriteFile(src + "/sub/b.bin", big);
    WriteFile(src + "/c.txt", "gamma");
    WriteFile(src + "/empty.txt", "");
    BackUp(src, work / "dest/data.cab");
    const std::vector<Backup> catalog = ReadCatalog(work / "dest/data.cab");
    ASSERT_EQ(catalog.size(), 1u);
    const auto before = TreeContents(src);

    std::set<std::string> heard;
    RestoreSummary summary = RestoreToOriginalPlaces(catalog, &heard);
    EXPECT_EQ(summary.Identical, 4) << RestoreMessage(summary);
    EXPECT_EQ(summary.Restored, 0);
    EXPECT_EQ(summary.Beside, 0);
    EXPECT_TRUE(summary.Problems.empty()) << RestoreMessage(summary);
    EXPECT_EQ(TreeContents(src), before) << "no copy beside an identical file";
    EXPECT_EQ(heard, (std::set<std::string>{"Dokumenty/a.txt", "Dokumenty/sub/b.bin",
                                            "Dokumenty/c.txt", "Dokumenty/empty.txt"}));
    EXPECT_NE(RestoreMessage(summary).find("Shodné se zálohou, ponechány beze změny: 4"),
              std::string::npos)
        << RestoreMessage(summary);

    // Same size and time, other bytes (the last one of many blocks); the same bytes at another
    // time: each is a different file, and keeps its place.
    std::string changed = big;
    changed.back() ^= 0x01;
    Rewrite(src + "/sub/b.bin", changed);
    Rewrite(src + "/c.txt", "gamMa");
    struct stat a {};
    ASSERT_EQ(::stat((src + "/a.txt").c_str(), &a), 0);
    const struct timespec later[2] = {a.st_atim, {a.st_mtim.tv_sec + 10, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (src + "/a.txt").c_str(), later, 0), 0);

    summary = RestoreToOriginalPlaces(catalog);
    EXPECT_EQ(summary.Identical, 1) << RestoreMessage(summary);
    EXPECT_EQ(summary.Restored, 3);
    EXPECT_EQ(summary.Beside, 3);
    const auto after = TreeContents(src);
    EXPECT_EQ(after.size(), 7u);
    const std::string stamp = BackupStamp(catalog[0].Made);
    EXPECT_EQ(after.at("sub/b.bin"), changed);
    EXPECT_EQ(after.at("sub/b (ze zálohy " + stamp + ").bin"), big);
    EXPECT_EQ(after.at("c (ze zálohy " + stamp + ").txt"), "gamma");
    EXPECT_EQ(after.at("a (ze zálohy " + stamp + ").txt"), "alpha");
}

TEST(GentleRestore, TheVersionsOfAFileAreTheBackupsThatHoldItAndTheSearchIgnoresAccents) {
    const Scratch work;
    const std::string src = work / "Dokumenty";
    const std::string archive = work / "dest/data.cab";
    WriteFile(src + "/Zpráva.odt", "v1");
    WriteFile(src + "/other.txt", "other");
    BackUp(src, archive, 2);
    WriteFile(src + "/Zpráva.odt", "version 2");
    BackUp(src, archive, 2);
    fs::remove(src + "/other.txt");
    WriteFile(src + "/Zpráva.odt", "version three");
    BackUp(src, archive, 2);
    const std::vector<Backup> catalog = ReadCatalog(archive);
    ASSERT_EQ(catalog.size(), 3u);

    const std::vector<FileRef> versions = FileVersions(catalog, "Dokumenty\\Zpráva.odt");
    ASSERT_EQ(versions.size(), 3u);
    std::vector<std::uint32_t> sizes;
    for (const FileRef& v : versions)
        sizes.push_back(catalog[v.Backup].Files[v.File].Size);
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{13, 9, 2})) << "the newest first";
    const std::vector<FileRef> other = FileVersions(catalog, "Dokumenty\\other.txt");
    ASSERT_EQ(other.size(), 2u);
    EXPECT_EQ(other[0].Backup, 1u);
    EXPECT_EQ(other[1].Backup, 2u);
    EXPECT_TRUE(FileVersions(catalog, "Dokumenty\\zpráva.odt").empty()) << "names compare exactly";

    const NameSearch search(catalog);
    for (const char* text :
         {"zprava", "ZPRAVA", "zpráva", "ZPRÁVA", "zpra\xCC\x81va", "dokumenty/zprava.odt"}) {
        std::vector<FileRef> found;
        search.Find(text, 0, found);
        ASSERT_EQ(found.size(), 1u) << text;
        EXPECT_EQ(catalog[0].StoredName(catalog[0].Files[found[0].File]), "Dokumenty\\Zpráva.odt");
    }
    std::vector<FileRef> none;
    search.Find("zpravy", 0, none);
    EXPECT_TRUE(none.empty());
}

TEST(GentleRestore, ACopyToLookAtIsPrivateReadOnlyAndGoesAgain) {
    const Scratch work;
    const std::string src = work / "Dokumenty";
    WriteFile(src + "/2024/Zpráva.odt", "the report");
    WriteFile(src + "/other.txt", "other");
    BackUp(src, work / "dest/data.cab");
    const std::vector<Backup> catalog = ReadCatalog(work / "dest/data.cab");
    ASSERT_EQ(catalog.size(), 1u);
    const std::vector<FileRef> report = FileVersions(catalog, "Dokumenty\\2024\\Zpráva.odt");
    ASSERT_EQ(report.size(), 1u);

    RestoreSummary summary;
    const std::optional<ViewCopy> copy =
        CopyForViewing(catalog[0], report[0].File, work.Path(), {}, summary);
    ASSERT_TRUE(copy.has_value()) << RestoreMessage(summary);
    EXPECT_EQ(fs::path(copy->File).filename(), "Zpráva.odt");
    EXPECT_EQ(ReadFile(copy->File), "the report");
    EXPECT_EQ(TreeContents(copy->Folder).size(), 1u);
    struct stat folder {};
    struct stat file {};
    ASSERT_EQ(::stat(copy->Folder.c_str(), &folder), 0);
    ASSERT_EQ(::stat(copy->File.c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(file.st_mode & 0222, 0u) << "the copy cannot be written";
    RemoveViewCopy(*copy);
    EXPECT_FALSE(fs::exists(copy->Folder));
}

TEST(GentleRestore, TheTimeLeftFollowsThePaceSoFar) {
    using std::chrono::seconds;
    TimeLeft left;
    const TimeLeft::Clock::time_point start{};
    left.Start(1000, start);
    EXPECT_FALSE(left.Estimate(100, start + seconds(1)).has_value()) << "too early to tell";
    EXPECT_FALSE(left.Estimate(0, start + seconds(10)).has_value());
    EXPECT_EQ(left.Estimate(250, start + seconds(10)), seconds(30));
    EXPECT_EQ(left.Estimate(1000, start + seconds(10)), seconds(0));
    EXPECT_EQ(TimeLeftText(seconds(7)), "zbývá asi 10 s");
    EXPECT_EQ(TimeLeftText(seconds(0)), "zbývá asi 5 s");
    EXPECT_EQ(TimeLeftText(seconds(200)), "zbývá asi 4 min");
    EXPECT_EQ(TimeLeftText(seconds(3700)), "zbývá asi 1 h 2 min");
}

} // namespace
