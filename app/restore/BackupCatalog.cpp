#include "app/restore/BackupCatalog.h"

#include "app/restore/RestoreTexts.h"
#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/ArchiveParts.h"
#include "cabinet/format/CabinetLayout.h"
#include "cabinet/format/PlacementRecord.h"
#include "cabinet/format/ReadReasons.h"
#include "cabinet/read/CabinetReader.h"
#include "platform/fs/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::restore {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Where a backup stands among those made in the same second: the archive, then its copies in
// their order, then the archives named after the date and time.
std::int64_t Rank(const std::string& firstCabinet, const std::string& archive) {
    const std::string name = names::NameOf(firstCabinet);
    if (name == names::NameOf(archive))
        return 0;
    if (const auto n = names::CopyNumber(name, names::NameOf(names::SeriesStem(archive))))
        return *n;
    return std::numeric_limits<std::int64_t>::max();
}

} // namespace

std::uint64_t Backup::FileBytes() const {
    std::uint64_t total = 0;
    for (const BackupFile& file : Files)
        total += file.Size;
    return total;
}

std::vector<std::string> FindBackups(const std::string& archive) {
    const std::string folder = names::FolderOf(archive);
    const std::string name = names::NameOf(archive);
    const std::string stemName = names::NameOf(names::SeriesStem(archive));
    const auto isFirstCabinet = [&](std::string_view file) {
        return file == name || names::CopyNumber(file, stemName) || names::IsDateTimeArchive(file);
    };
    // While a placement cut short is under way, the backups as they stand once it is finished.
    const PendingPlacement pending(folder);
    std::set<std::string> found;
    if (std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str())); dir) {
        while (const dirent* entry = ::readdir(dir.get())) {
            if (entry->d_type != DT_DIR && isFirstCabinet(entry->d_name) &&
                pending.Resolve(entry->d_name))
                found.insert(folder + "/" + entry->d_name);
        }
        for (const std::string& coming : pending.NamesToCome()) {
            if (isFirstCabinet(coming))
                found.insert(folder + "/" + coming);
        }
        return {found.begin(), found.end()};
    }
    // A folder that may be searched but not listed: the archive and its copies by name.
    if (Exists(archive))
        found.insert(archive);
    for (std::int64_t n = 1; Exists(names::SeriesCopy(archive, n)); ++n)
        found.insert(names::SeriesCopy(archive, n));
    return {found.begin(), found.end()};
}

Backup ReadBackup(const std::string& firstCabinet) {
    Backup backup;
    backup.Archive = firstCabinet;
    ArchiveSet set = ReadArchiveSet(firstCabinet);
    backup.Parts = std::move(set.Parts);
    backup.SetProblems = std::move(set.Problems);
    if (!backup.SetProblems.empty())
        backup.Problem = PartProblemText(backup.SetProblems.front());
    struct stat info {};
    if (::stat(backup.Parts.front().c_str(), &info) == 0) {
        backup.Made = info.st_mtim.tv_sec;
        backup.FileSeconds = info.st_mtim.tv_sec;
        backup.FileNanoseconds = info.st_mtim.tv_nsec;
        backup.Device = info.st_dev;
        backup.Inode = info.st_ino;
    }
    for (std::size_t index = 0; index < backup.Parts.size(); ++index) {
        const std::string& part = backup.Parts[index];
        const UniqueFd fd(::open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!fd.Valid()) {
            if (backup.Problem.empty())
                backup.Problem = names::NameOf(part) + ": " + SystemErrorText(errno);
            continue;
        }
        const CabinetDirectory directory = ReadCabinetDirectory(fd.Get());
        backup.Bytes += directory.FileSize;
        if (!directory.Problem.empty()) {
            if (backup.Problem.empty())
                backup.Problem = names::NameOf(part) + ": " + directory.Problem;
            continue;
        }
        if (index == 0) {
            // The backup's own time, whatever became of its file's time since.
            std::string problem;
            if (const auto catalog = ReadPartCatalog(fd.Get(), directory, problem))
                backup.Made = catalog->Started.Seconds;
            else if (!problem.empty() && backup.Problem.empty())
                backup.Problem = names::NameOf(part) + ": " + reasons::CatalogDamaged(problem);
        }
        for (const CabinetFileRecord& record : directory.Files) {
            if (record.StoredName == cabformat::kCatalogName)
                continue;
            BackupFile file;
            file.NameAt = static_cast<std::uint32_t>(backup.Names.size());
            file.NameSize = static_cast<std::uint16_t>(record.StoredName.size());
            file.Part = static_cast<std::uint16_t>(index);
            file.Size = record.Size;
            file.Date = record.Date;
            file.Time = record.Time;
            file.Attributes = record.Attributes;
            backup.Names += record.StoredName;
            backup.Files.push_back(file);
        }
    }
    return backup;
}

bool Unchanged(const Backup& backup) {
    struct stat info {};
    if (::stat(backup.Parts.front().c_str(), &info) != 0)
        return backup.Device == 0 && backup.Inode == 0; // it could not be had then either
    return info.st_dev == backup.Device && info.st_ino == backup.Inode &&
           info.st_mtim.tv_sec == backup.FileSeconds &&
           info.st_mtim.tv_nsec == backup.FileNanoseconds;
}

std::vector<Backup> ReadCatalog(const std::string& archive) {
    std::vector<Backup> backups;
    for (const std::string& first : FindBackups(archive))
        backups.push_back(ReadBackup(first));
    std::sort(backups.begin(), backups.end(), [&archive](const Backup& a, const Backup& b) {
        if (a.Made != b.Made)
            return a.Made > b.Made;
        const std::int64_t rankA = Rank(a.Archive, archive);
        const std::int64_t rankB = Rank(b.Archive, archive);
        return rankA != rankB ? rankA < rankB : a.Archive > b.Archive;
    });
    return backups;
}

} // namespace ostrivane::restore
