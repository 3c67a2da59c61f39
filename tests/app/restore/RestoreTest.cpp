// Restoring chosen files from backups without the window: each stored name back to the folder it
// came from (by the backup's record of its sources, or by today's sources for a backup made
// before the record, asking where that cannot tell), never over a file that exists, damaged
// backups and files, a cancel, and a folder the user cannot write.
#include "app/restore/BackupCheck.h"
#include "app/restore/BesideName.h"
#include "app/restore/RestoreChoice.h"
#include "app/restore/RestoreTexts.h"
#include "cabinet/format/SetRecord.h"
#include "tests/platform/libcabinet/FciHarness.h"
#include "tests/support/Child.h"
#include "tests/support/Shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

using namespace ostrivane::restore;
using ostrivane::cabformat::SourceGroup;
namespace fs = std::filesystem;
using Files = std::vector<std::pair<std::string, std::string>>;
using testsupport::RandomBytes;
using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::TreeContents;
using testsupport::WriteFile;

// Packs `files` (stored name, bytes) through the FCI into `cabinet`, with `setRecord` and
// `record` in the header's reserve when given: a backup made before the set record kept the
// record of its sources alone there.
void Pack(const fs::path& cabinet, const Files& files,
          const std::vector<SourceGroup>* record = nullptr, const std::string& setRecord = {}) {
    fs::create_directories(cabinet.parent_path());
    const Scratch sources;
    libcabinet_test::FciHarness fci(cabinet.parent_path(), cabinet.filename().string());
    const std::string reserve =
        setRecord + (record != nullptr ? EncodeSourceRecord(*record) : std::string());
    fci.ccab.cbReserveCFHeader = static_cast<FCI_UINT>(reserve.size());
    fci.ccab.setID = 77;
    const HFCI context = fci.create();
    ASSERT_NE(context, nullptr);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path source = sources.Folder() / std::to_string(i);
        WriteFile(source, files[i].second);
        ASSERT_TRUE(fci.add(context, source, files[i].first)) << files[i].first;
    }
    ASSERT_TRUE(fci.flush(context));
    FCIDestroy(context);
    if (!reserve.empty()) {
        ASSERT_TRUE(ostrivane::cabformat::WriteHeaderReserve(cabinet, reserve));
    }
}

// Restores the whole of `backup` into `out`: every file but one comes back, `restored` (path
// below `out` -> bytes) and nothing else, and the one is told for the reason `failure`.
RestoreSummary RestoreAllButOne(const Backup& backup, const fs::path& out,
                                const std::map<std::string, std::string>& restored,
                                RestoreFailure failure) {
    RestoreSummary summary;
    RestoreFiles(backup, {}, out, nullptr, {}, summary);
    EXPECT_EQ(summary.Restored, static_cast<int>(restored.size()));
    EXPECT_EQ(TreeContents(out), restored);
    std::vector<RestoreFailure> failures;
    for (const RestoreProblem& problem : summary.Problems)
        failures.push_back(problem.Kind);
    EXPECT_EQ(failures, std::vector<RestoreFailure>{failure});
    return summary;
}

TEST(Restore, EveryFileGoesBackWhereItsRecordSaysAndNothingIsOverwritten) {
    const Scratch work;
    const fs::path w = work.Folder();
    // Two sources named Data besides /a/Data: their groups were told apart when packed.
    const std::vector<SourceGroup> record = {{"Dokumenty\\", w / "home/me/Dokumenty"},
                                             {"Data\\", w / "a/Data"},
                                             {"b\\Data\\", w / "b/Data"},
                                             {"Data~2\\", w / "c/Data"}};
    Pack(w / "dest/Záloha.cab",
         {{"Dokumenty\\2024\\zprava.odt", "from the backup"},
          {"Data\\x.txt", "a"},
          {"b\\Data\\x.txt", "b"},
          {"Data~2\\x.txt", "c"},
          {"Dokumenty\\README", "readme"}},
         &record);
    const std::vector<Backup> catalog = ReadCatalog(w / "dest/Záloha.cab");
    ASSERT_EQ(catalog.size(), 1u);
    ASSERT_FALSE(catalog[0].Damaged()) << catalog[0].Problem;
    const std::string stamp = BackupStamp(catalog[0].Made);
    const fs::path report = w / "home/me/Dokumenty/2024";
    // The file was changed since, and restored beside it once already.
    WriteFile(report / "zprava.odt", "changed since");
    WriteFile(report / ("zprava (ze zálohy " + stamp + ").odt"), "restored before");
    WriteFile(w / "home/me/Dokumenty/README", "changed too");

    const auto groups = ostrivane::cabformat::ReadSourceRecord(catalog[0].Archive);
    ASSERT_TRUE(groups.has_value());
    const OriginalPlaces places = OriginalPlaces::FromRecord(*groups);
    EXPECT_TRUE(places.Questions().empty());
    RestoreSummary summary;
    RestoreFiles(catalog[0], {}, {}, &places, {}, summary);

    EXPECT_EQ(summary.Restored, 5);
    EXPECT_EQ(summary.Beside, 2);
    EXPECT_TRUE(summary.Problems.empty()) << RestoreMessage(summary);
    EXPECT_EQ(ReadFile(report / "zprava.odt"), "changed since");
    EXPECT_EQ(ReadFile(report / ("zprava (ze zálohy " + stamp + ").odt")), "restored before");
    EXPECT_EQ(ReadFile(report / ("zprava (ze zálohy " + stamp + ") (2).odt")), "from the backup");
    // A name without an extension gets none.
    EXPECT_EQ(ReadFile(w / ("home/me/Dokumenty/README (ze zálohy " + stamp + ")")), "readme");
    EXPECT_EQ(ReadFile(w / "a/Data/x.txt"), "a");
    EXPECT_EQ(ReadFile(w / "b/Data/x.txt"), "b");
    EXPECT_EQ(ReadFile(w / "c/Data/x.txt"), "c");
    const std::string message = RestoreMessage(summary);
    EXPECT_NE(message.find("Obnoveno souborů: 5"), std::string::npos) << message;
    EXPECT_NE(message.find("Uloženo vedle existujícího souboru stejného názvu: 2"),
              std::string::npos)
        << message;
}

TEST(Restore, ABackupWithoutItsRecordIsPlacedByTodaysSourcesAndAsksWhereTheyCannotTell) {
    const Scratch work;
    const fs::path w = work.Folder();
    // Two backups made before the record, and one with it.
    Pack(w / "dest/Záloha.cab",
         {{"Dokumenty\\a.txt", "A"}, {"Data\\x.txt", "X"}, {"b\\Data\\y.txt", "Y"}});
    Pack(w / "dest/Záloha_1.cab", {{"Data\\x.txt", "X1"}, {"loose.txt", "L"}});
    const std::vector<SourceGroup> record = {{"Data\\", w / "recorded/Data"}};
    Pack(w / "dest/Záloha_2.cab", {{"Data\\x.txt", "X2"}}, &record);
    const std::vector<Backup> catalog = ReadCatalog(w / "dest/Záloha.cab");
    ASSERT_EQ(catalog.size(), 3u);
    const auto backup = [&](const std::string& name) {
        for (std::uint32_t i = 0; i < catalog.size(); ++i) {
            if (fs::path(catalog[i].Archive).filename() == name)
                return i;
        }
        ADD_FAILURE() << name << " is not listed";
        return std::uint32_t{0};
    };

    // Two of today's sources end in Data: "Data\" cannot be told, "b\Data\" can. The user is
    // asked once for "Data\" whatever backups hold it, and for the names in no folder.
    const std::vector<std::string> sources = {w / "home/me/Dokumenty/", w / "a/Data",
                                              w / "b/./Data"};
    const std::vector<BackupChoice> choice = {
        {backup("Záloha.cab"), {}}, {backup("Záloha_1.cab"), {}}, {backup("Záloha_2.cab"), {}}};
    std::vector<std::string> asked;
    const auto answer = [&](const std::string& prefix) -> std::optional<std::string> {
        asked.push_back(prefix);
        return (w / (prefix.empty() ? "loose" : "chosen")).string();
    };
    const auto places = OriginalPlacesOf(catalog, choice, sources, answer);
    ASSERT_TRUE(places.has_value());
    ASSERT_EQ(places->size(), 3u);
    EXPECT_EQ(asked, (std::vector<std::string>{"Data\\", ""}));
    RestoreSummary summary;
    for (std::size_t i = 0; i < choice.size(); ++i)
        RestoreFiles(catalog[choice[i].Backup], {}, {}, &(*places)[i], {}, summary);

    EXPECT_EQ(summary.Restored, 6) << RestoreMessage(summary);
    EXPECT_EQ(summary.Beside, 1);
    EXPECT_EQ(ReadFile(w / "home/me/Dokumenty/a.txt"), "A");
    EXPECT_EQ(ReadFile(w / "chosen/x.txt"), "X");
    EXPECT_EQ(ReadFile(w / "b/Data/y.txt"), "Y");
    EXPECT_EQ(ReadFile(w / "loose/loose.txt"), "L");
    EXPECT_EQ(ReadFile(w / "recorded/Data/x.txt"), "X2");
    EXPECT_FALSE(fs::exists(w / "a/Data"));

    // A question the user does not answer restores nothing.
    asked.clear();
    EXPECT_FALSE(OriginalPlacesOf(catalog, {choice[0]}, sources, [&](const std::string& prefix) {
                     asked.push_back(prefix);
                     return std::optional<std::string>();
                 }).has_value());
    EXPECT_EQ(asked.size(), 1u);
    // Chosen files alone are placed: Dokumenty's file needs no question.
    EXPECT_TRUE(
        OriginalPlacesOf(catalog, {{choice[0].Backup, {0}}}, sources, [](const std::string&) {
            ADD_FAILURE() << "asked for a file that today's sources place";
            return std::optional<std::string>();
        }).has_value());
}

TEST(Restore, ADamagedBackupIsListedAndADamagedFileIsNamedWhileTheOthersAreRestored) {
    const Scratch work;
    const fs::path w = work.Folder();
    const fs::path archive = w / "dest/Záloha.cab";
    Pack(archive, {{"Dokumenty\\a.txt", "alpha"},
                   {"Dokumenty\\b.txt", "beta"},
                   {"Dokumenty\\c.bin", RandomBytes(100000, 3)}});
    // A byte of the last data block, which holds the end of c.bin, goes wrong on the disk.
    std::string bytes = ReadFile(archive);
    bytes[bytes.size() - 100] ^= 0x10;
    WriteFile(archive, bytes);
    WriteFile(w / "dest/Záloha_1.cab", "not a cabinet at all");
    const struct utimbuf older = {1700000000, 1700000000};
    ASSERT_EQ(::utime((w / "dest/Záloha_1.cab").c_str(), &older), 0);

    const std::vector<Backup> catalog = ReadCatalog(archive);
    ASSERT_EQ(catalog.size(), 2u);
    EXPECT_EQ(catalog[0].Archive, archive.string());
    EXPECT_EQ(catalog[0].Files.size(), 3u);
    EXPECT_FALSE(catalog[0].Damaged());
    EXPECT_TRUE(catalog[1].Damaged());
    EXPECT_TRUE(catalog[1].Files.empty());

    // The test of the backup finds the damage, as --test does.
    const CheckSummary check = CheckBackup(catalog[0], nullptr, {});
    EXPECT_EQ(check.Good, 2);
    ASSERT_EQ(check.Bad, 1);
    EXPECT_EQ(check.Problems.at(0).Name, "Dokumenty/c.bin");
    EXPECT_NE(CheckMessage(catalog[0], check).find("je poškozená"), std::string::npos);

    const std::string message = RestoreMessage(RestoreAllButOne(
        catalog[0], w / "out", {{"Dokumenty/a.txt", "alpha"}, {"Dokumenty/b.txt", "beta"}},
        RestoreFailure::Damaged));
    EXPECT_NE(message.find("Dokumenty/c.bin: data v záloze jsou poškozená"), std::string::npos)
        << message;

    // A backup run moves the archive along its series: the catalog no longer holds.
    EXPECT_TRUE(Unchanged(catalog[0]));
    fs::rename(archive, w / "dest/Záloha_2.cab");
    WriteFile(archive, ReadFile(w / "dest/Záloha_2.cab"));
    EXPECT_FALSE(Unchanged(catalog[0]));
    EXPECT_TRUE(Unchanged(catalog[1]));
}

// A backup in parts whose middle part is missing: listed as damaged with the reason, its test
// counts the part as bad, and a restore of the whole backup brings back the files of the other
// parts and names the one missing. A FIFO under a backup's name is listed as damaged at once.
TEST(Restore, ABackupWhoseSetIsNotWholeIsDamagedAndItsOtherPartsStillRestore) {
    const Scratch work;
    const fs::path w = work.Folder();
    const fs::path archive = w / "dest/Záloha.cab";
    const ostrivane::cabformat::SetToken token = ostrivane::cabformat::NewSetToken();
    const char* names[] = {"Záloha.cab", "Záloha-2.cab", "Záloha-3.cab"};
    for (std::uint16_t index = 1; index <= 3; ++index)
        Pack(w / "dest" / names[index - 1],
             {{"Dokumenty\\" + std::to_string(index) + ".txt", "part " + std::to_string(index)}},
             nullptr, ostrivane::cabformat::EncodeSetRecord({token, index, 3}));
    ASSERT_FALSE(ReadCatalog(archive).at(0).Damaged());
    fs::remove(w / "dest/Záloha-2.cab");

    const std::vector<Backup> catalog = ReadCatalog(archive);
    ASSERT_EQ(catalog.size(), 1u);
    EXPECT_TRUE(catalog[0].Damaged());
    EXPECT_EQ(catalog[0].Problem, "Záloha-2.cab: chybí část 2 z 3 této zálohy");
    EXPECT_EQ(catalog[0].Files.size(), 2u);

    const CheckSummary check = CheckBackup(catalog[0], nullptr, {});
    EXPECT_EQ(check.Good, 2);
    EXPECT_EQ(check.Bad, 1);
    EXPECT_NE(CheckMessage(catalog[0], check).find("chybí část 2 z 3 této zálohy"),
              std::string::npos);

    RestoreAllButOne(catalog[0], w / "out",
                     {{"Dokumenty/1.txt", "part 1"}, {"Dokumenty/3.txt", "part 3"}},
                     RestoreFailure::Unreadable);

    // A FIFO under the name of an earlier copy is listed as damaged at once, never waited on.
    ASSERT_EQ(::mkfifo((w / "dest/Záloha_1.cab").c_str(), 0644), 0);
    const int listed = testsupport::RunGuarded(
        [&] {
            for (const Backup& backup : ReadCatalog(archive)) {
                if (backup.Archive == (w / "dest/Záloha_1.cab").string())
                    return backup.Damaged() && CheckBackup(backup, nullptr, {}).Bad == 1 ? 0 : 1;
            }
            return 2;
        },
        20);
    EXPECT_EQ(listed, 0);
}

TEST(Restore, ACancelMidRestoreLeavesNoPartialFile) {
    const Scratch work;
    const fs::path w = work.Folder();
    Pack(w / "dest/Záloha.cab", {{"Data\\big.bin", RandomBytes(8000000, 5)}, {"Data\\z.txt", "z"}});
    const std::vector<Backup> catalog = ReadCatalog(w / "dest/Záloha.cab");
    ASSERT_EQ(catalog.size(), 1u);
    std::atomic<bool> cancel{false};
    RestoreControl control;
    control.Cancel = &cancel;
    control.Progress = [&cancel](std::uint64_t bytes) {
        if (bytes > 1000000)
            cancel = true;
    };
    RestoreSummary summary;
    RestoreFiles(catalog[0], {}, w / "out", nullptr, control, summary);
    EXPECT_TRUE(summary.Cancelled);
    EXPECT_EQ(summary.Restored, 0);
    EXPECT_TRUE(TreeContents(w / "out").empty());
    EXPECT_EQ(RestoreMessage(summary).rfind("Obnova byla zrušena.", 0), 0u);
}

TEST(Restore, AFolderTheUserCannotWriteIsToldOnce) {
    const Scratch work;
    const fs::path w = work.Folder();
    Pack(w / "dest/Záloha.cab", {{"Data\\a.txt", "a"}, {"Data\\b.txt", "b"}});
    const std::vector<Backup> catalog = ReadCatalog(w / "dest/Záloha.cab");
    ASSERT_EQ(catalog.size(), 1u);
    // Readable by everyone, the folder to restore into writable by its owner (root) alone.
    for (const fs::path& path : {w, w / "dest"})
        ::chmod(path.c_str(), 0755);
    ::chmod((w / "dest/Záloha.cab").c_str(), 0644);
    fs::create_directories(w / "locked");
    ::chmod((w / "locked").c_str(), testsupport::IsRoot() ? 0755 : 0555);

    // The restore runs as the user 65534 when this is root (CI), for whom permissions hold.
    std::string message;
    const int status = testsupport::RunUnprivileged(
        [&] {
            RestoreSummary summary;
            RestoreFiles(catalog[0], {}, w / "locked/obnova", nullptr, {}, summary);
            std::fputs(RestoreMessage(summary).c_str(), stdout);
            return 0;
        },
        60, &message);
    ASSERT_EQ(status, 0) << message;
    EXPECT_NE(message.find("Obnoveno souborů: 0"), std::string::npos) << message;
    EXPECT_NE(message.find("„" + (w / "locked/obnova").string() +
                           "“ nelze vytvořit ani do ní zapisovat: přístup odepřen (souborů: 2)"),
              std::string::npos)
        << message;
    EXPECT_FALSE(fs::exists(w / "locked/obnova"));
}

} // namespace

namespace {

// A backup made by ostrivane-cab, with its catalog.
void BackUp(const fs::path& archive, const fs::path& source) {
    std::string output;
    ASSERT_EQ(
        testsupport::Shell(testsupport::Quote(std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab") +
                               " --quiet --recurse " + testsupport::Quote(archive) + " " +
                               testsupport::Quote(source.string() + "/*"),
                           &output),
        0)
        << output;
}

} // namespace

// The dialog dates and orders backups by the time each keeps, whatever became of its file's
// time, and its restore gives back modes, empty folders and links.
TEST(Restore, TheDialogsBackupsKeepTheirOwnTimeAndTheirFilesComeBackAsTheyWere) {
    const Scratch work;
    const fs::path w = work.Folder();
    WriteFile(w / "src/Data/key", "secret");
    WriteFile(w / "src/Data/private/tool", "#!/bin/sh\n");
    fs::create_directories(w / "src/Data/empty");
    ASSERT_EQ(::symlink("key", (w / "src/Data/link").c_str()), 0);
    ASSERT_EQ(::chmod((w / "src/Data/key").c_str(), 0600), 0);
    ASSERT_EQ(::chmod((w / "src/Data/private/tool").c_str(), 0755), 0);
    ASSERT_EQ(::chmod((w / "src/Data/private").c_str(), 0700), 0);
    fs::create_directories(w / "dest");
    BackUp(w / "dest/Záloha_1.cab", w / "src/Data");
    ::sleep(1);
    BackUp(w / "dest/Záloha.cab", w / "src/Data");
    // A copy without -p dates the older backup after the newer one.
    struct utimbuf later {};
    later.actime = later.modtime = std::time(nullptr) + 3600;
    ASSERT_EQ(::utime((w / "dest/Záloha_1.cab").c_str(), &later), 0);
    const std::vector<Backup> catalog = ReadCatalog(w / "dest/Záloha.cab");
    ASSERT_EQ(catalog.size(), 2u);
    EXPECT_EQ(fs::path(catalog[0].Archive).filename(), "Záloha.cab");
    EXPECT_GT(catalog[0].Made, catalog[1].Made);
    EXPECT_LE(catalog[0].Made, std::time(nullptr));
    ASSERT_EQ(catalog[0].Files.size(), 2u) << "the catalog is no file of the backup";

    RestoreSummary summary;
    RestoreFiles(catalog[0], {}, w / "out", nullptr, {}, summary);
    EXPECT_TRUE(summary.Problems.empty()) << RestoreMessage(summary);
    struct stat info {};
    ASSERT_EQ(::stat((w / "out/Data/key").string().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat((w / "out/Data/private").string().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat((w / "out/Data/private/tool").string().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_TRUE(fs::is_directory(w / "out/Data/empty"));
    EXPECT_TRUE(fs::is_symlink(w / "out/Data/link"));
    EXPECT_EQ(fs::read_symlink(w / "out/Data/link"), "key");
}
