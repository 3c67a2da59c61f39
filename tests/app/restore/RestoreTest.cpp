// Restoring chosen files from backups without the window: each stored name back to the folder it
// came from (by the backup's record of its sources, or by today's sources for a backup made
// before the record, asking where that cannot tell), never over a file that exists, damaged
// backups and files, a cancel, and a folder the user cannot write.
#include "app/restore/BackupCheck.h"
#include "app/restore/BesideName.h"
#include "app/restore/RestoreChoice.h"
#include "app/restore/RestoreTexts.h"
#include "tests/platform/libcabinet/FciHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

using namespace ostrivane::restore;
using ostrivane::cabformat::SourceGroup;
namespace fs = std::filesystem;
using Files = std::vector<std::pair<std::string, std::string>>;

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

std::string Random(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Packs `files` (stored name, bytes) through the FCI into `cabinet`, with `record` in the
// header's reserve when given, as the backup run keeps it.
void Pack(const fs::path& cabinet, const Files& files,
          const std::vector<SourceGroup>* record = nullptr) {
    fs::create_directories(cabinet.parent_path());
    const libcabinet_test::ScratchFolder sources;
    libcabinet_test::FciHarness fci(cabinet.parent_path(), cabinet.filename().string());
    const std::string reserve = record != nullptr ? EncodeSourceRecord(*record) : std::string();
    fci.ccab.cbReserveCFHeader = static_cast<FCI_UINT>(reserve.size());
    const HFCI context = fci.create();
    ASSERT_NE(context, nullptr);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path source = sources.path() / std::to_string(i);
        Write(source, files[i].second);
        ASSERT_TRUE(fci.add(context, source, files[i].first)) << files[i].first;
    }
    ASSERT_TRUE(fci.flush(context));
    FCIDestroy(context);
    if (record != nullptr) {
        ASSERT_TRUE(ostrivane::cabformat::WriteSourceRecord(cabinet, reserve));
    }
}

// The regular files below `folder`, as paths relative to it.
std::vector<std::string> FilesBelow(const fs::path& folder) {
    std::vector<std::string> found;
    if (fs::exists(folder))
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                found.push_back(fs::relative(entry.path(), folder).string());
    return found;
}

TEST(Restore, EveryFileGoesBackWhereItsRecordSaysAndNothingIsOverwritten) {
    const libcabinet_test::ScratchFolder work;
    const fs::path w = work.path();
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
    Write(report / "zprava.odt", "changed since");
    Write(report / ("zprava (ze zálohy " + stamp + ").odt"), "restored before");
    Write(w / "home/me/Dokumenty/README", "changed too");

    const auto groups = ostrivane::cabformat::ReadSourceRecord(catalog[0].Archive);
    ASSERT_TRUE(groups.has_value());
    const OriginalPlaces places = OriginalPlaces::FromRecord(*groups);
    EXPECT_TRUE(places.Questions().empty());
    RestoreSummary summary;
    RestoreFiles(catalog[0], {}, {}, &places, {}, summary);

    EXPECT_EQ(summary.Restored, 5);
    EXPECT_EQ(summary.Beside, 2);
    EXPECT_TRUE(summary.Problems.empty()) << RestoreMessage(summary);
    EXPECT_EQ(Read(report / "zprava.odt"), "changed since");
    EXPECT_EQ(Read(report / ("zprava (ze zálohy " + stamp + ").odt")), "restored before");
    EXPECT_EQ(Read(report / ("zprava (ze zálohy " + stamp + ") (2).odt")), "from the backup");
    // A name without an extension gets none.
    EXPECT_EQ(Read(w / ("home/me/Dokumenty/README (ze zálohy " + stamp + ")")), "readme");
    EXPECT_EQ(Read(w / "a/Data/x.txt"), "a");
    EXPECT_EQ(Read(w / "b/Data/x.txt"), "b");
    EXPECT_EQ(Read(w / "c/Data/x.txt"), "c");
    const std::string message = RestoreMessage(summary);
    EXPECT_NE(message.find("Obnoveno souborů: 5"), std::string::npos) << message;
    EXPECT_NE(message.find("Uloženo vedle existujícího souboru stejného názvu: 2"),
              std::string::npos)
        << message;
}

TEST(Restore, ABackupWithoutItsRecordIsPlacedByTodaysSourcesAndAsksWhereTheyCannotTell) {
    const libcabinet_test::ScratchFolder work;
    const fs::path w = work.path();
    Pack(w / "dest/Záloha.cab",
         {{"Dokumenty\\a.txt", "A"}, {"Data\\x.txt", "X"}, {"b\\Data\\y.txt", "Y"}});
    const std::vector<Backup> catalog = ReadCatalog(w / "dest/Záloha.cab");
    ASSERT_EQ(catalog.size(), 1u);
    EXPECT_FALSE(ostrivane::cabformat::ReadSourceRecord(catalog[0].Archive).has_value());
    std::vector<std::string_view> names;
    for (const BackupFile& file : catalog[0].Files)
        names.push_back(catalog[0].StoredName(file));

    // Two of today's sources end in Data: "Data\" cannot be told, "b\Data\" can.
    OriginalPlaces places = OriginalPlaces::FromSources(
        {w / "home/me/Dokumenty/", w / "a/Data", w / "b/./Data"}, names);
    EXPECT_EQ(places.Questions(), std::vector<std::string>{"Data\\"});
    places.Answer("Data\\", w / "chosen");
    EXPECT_TRUE(places.Questions().empty());
    RestoreSummary summary;
    RestoreFiles(catalog[0], {}, {}, &places, {}, summary);

    EXPECT_EQ(summary.Restored, 3) << RestoreMessage(summary);
    EXPECT_EQ(Read(w / "home/me/Dokumenty/a.txt"), "A");
    EXPECT_EQ(Read(w / "chosen/x.txt"), "X");
    EXPECT_EQ(Read(w / "b/Data/y.txt"), "Y");
    EXPECT_FALSE(fs::exists(w / "a/Data"));
}

TEST(Restore, ADamagedBackupIsListedAndADamagedFileIsNamedWhileTheOthersAreRestored) {
    const libcabinet_test::ScratchFolder work;
    const fs::path w = work.path();
    const fs::path archive = w / "dest/Záloha.cab";
    Pack(archive, {{"Dokumenty\\a.txt", "alpha"},
                   {"Dokumenty\\b.txt", "beta"},
                   {"Dokumenty\\c.bin", Random(100000, 3)}});
    // A byte of the last data block, which holds the end of c.bin, goes wrong on the disk.
    std::string bytes = Read(archive);
    bytes[bytes.size() - 100] ^= 0x10;
    Write(archive, bytes);
    Write(w / "dest/Záloha_1.cab", "not a cabinet at all");
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

    RestoreSummary summary;
    RestoreFiles(catalog[0], {}, w / "out", nullptr, {}, summary);
    EXPECT_EQ(summary.Restored, 2);
    ASSERT_EQ(summary.Problems.size(), 1u);
    EXPECT_EQ(summary.Problems[0].Kind, RestoreFailure::Damaged);
    EXPECT_EQ(Read(w / "out/Dokumenty/a.txt"), "alpha");
    EXPECT_EQ(Read(w / "out/Dokumenty/b.txt"), "beta");
    EXPECT_EQ(FilesBelow(w / "out").size(), 2u);
    const std::string message = RestoreMessage(summary);
    EXPECT_NE(message.find("Dokumenty/c.bin: data v záloze jsou poškozená"), std::string::npos)
        << message;

    // A backup run moves the archive along its series: the catalog no longer holds.
    EXPECT_TRUE(Unchanged(catalog[0]));
    fs::rename(archive, w / "dest/Záloha_2.cab");
    Write(archive, Read(w / "dest/Záloha_2.cab"));
    EXPECT_FALSE(Unchanged(catalog[0]));
    EXPECT_TRUE(Unchanged(catalog[1]));
}

TEST(Restore, ACancelMidRestoreLeavesNoPartialFile) {
    const libcabinet_test::ScratchFolder work;
    const fs::path w = work.path();
    Pack(w / "dest/Záloha.cab", {{"Data\\big.bin", Random(8000000, 5)}, {"Data\\z.txt", "z"}});
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
    EXPECT_EQ(FilesBelow(w / "out"), std::vector<std::string>{});
    EXPECT_EQ(RestoreMessage(summary).rfind("Obnova byla zrušena.", 0), 0u);
}

TEST(Restore, AFolderTheUserCannotWriteIsToldOnce) {
    const libcabinet_test::ScratchFolder work;
    const fs::path w = work.path();
    Pack(w / "dest/Záloha.cab", {{"Data\\a.txt", "a"}, {"Data\\b.txt", "b"}});
    const std::vector<Backup> catalog = ReadCatalog(w / "dest/Záloha.cab");
    ASSERT_EQ(catalog.size(), 1u);
    // Readable by everyone, the folder to restore into writable by its owner (root) alone.
    for (const fs::path& path : {w, w / "dest"})
        ::chmod(path.c_str(), 0755);
    ::chmod((w / "dest/Záloha.cab").c_str(), 0644);
    fs::create_directories(w / "locked");
    ::chmod((w / "locked").c_str(), ::geteuid() == 0 ? 0755 : 0555);

    // The restore runs as the user 65534 when this is root (CI), for whom permissions hold.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        RestoreSummary summary;
        RestoreFiles(catalog[0], {}, w / "locked/obnova", nullptr, {}, summary);
        const std::string message = RestoreMessage(summary);
        const bool written = ::write(pipe[1], message.data(), message.size()) ==
                             static_cast<ssize_t>(message.size());
        ::_exit(written ? 0 : 98);
    }
    ::close(pipe[1]);
    std::string message;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(message.find("Obnoveno souborů: 0"), std::string::npos) << message;
    EXPECT_NE(message.find("„" + (w / "locked/obnova").string() +
                           "“ nelze vytvořit ani do ní zapisovat: přístup odepřen (souborů: 2)"),
              std::string::npos)
        << message;
    EXPECT_FALSE(fs::exists(w / "locked/obnova"));
}

} // namespace
