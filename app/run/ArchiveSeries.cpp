#include "app/run/ArchiveSeries.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/ArchiveParts.h"
#include "platform/fs/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ostrivane {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool FileExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The numbers of the copies B_n.cab, 1 <= n <= depth, that the folder's listing shows, in
// ascending order; nothing when the folder cannot be listed.
std::optional<std::vector<std::int64_t>> ListedCopies(const std::string& archive,
                                                      std::int32_t depth) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(names::FolderOf(archive).c_str()));
    if (!dir)
        return std::nullopt;
    const std::string stemName = names::NameOf(names::SeriesStem(archive));
    std::vector<std::int64_t> numbers;
    while (const dirent* entry = readdir(dir.get())) {
        const auto n = names::CopyNumber(entry->d_name, stemName);
        if (n && *n <= depth && FileExists(names::SeriesCopy(archive, *n)))
            numbers.push_back(*n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// The copies found by name where the folder cannot be listed (a drop folder that may be written
// and searched but not read): B_1, B_2, ... while they exist, and B_depth. A copy beyond a gap is
// not seen and so never touched, which loses nothing: every rename goes to a name just found
// free.
std::vector<std::int64_t> ProbedCopies(const std::string& archive, std::int32_t depth) {
    std::vector<std::int64_t> numbers;
    for (std::int64_t n = 1; n <= depth && FileExists(names::SeriesCopy(archive, n)); ++n)
        numbers.push_back(n);
    if (depth >= 1 && (numbers.empty() || numbers.back() < depth) &&
        FileExists(names::SeriesCopy(archive, depth)))
        numbers.push_back(depth);
    return numbers;
}

std::optional<RotationFailure> Failed(const std::string& file) {
    return RotationFailure{file, errno, false};
}

// The first of `paths` that is there but is no regular file (a link, a special file).
std::optional<RotationFailure> FirstNotAFile(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            return RotationFailure{path, 0, true};
    }
    return std::nullopt;
}

// Deletes the backup `archive` with every part of its set; a file already gone is no failure.
std::optional<RotationFailure> DeleteBackup(const std::string& archive) {
    const int parts = CountArchiveParts(archive);
    if (unlink(archive.c_str()) != 0 && errno != ENOENT)
        return Failed(archive);
    for (int part = 2; part <= parts; ++part) {
        const std::string name = names::PartName(archive, part);
        if (unlink(name.c_str()) != 0 && errno != ENOENT)
            return Failed(name);
    }
    return std::nullopt;
}

// Gives the backup `from` with its parts the name `to` (parts to's own part names). Parts that an
// earlier, larger set left under the new name go first: they would pass for parts of this one.
std::optional<RotationFailure> MoveBackup(const std::string& from, const std::string& to) {
    for (int part = 2; IsArchivePart(names::PartName(to, part)); ++part) {
        const std::string stale = names::PartName(to, part);
        if (unlink(stale.c_str()) != 0 && errno != ENOENT)
            return Failed(stale);
    }
    const int parts = CountArchiveParts(from);
    if (!fs::RenameNoReplace(from, to))
        return errno == ENOENT ? std::nullopt : Failed(from);
    for (int part = 2; part <= parts; ++part) {
        const std::string name = names::PartName(from, part);
        if (!fs::RenameNoReplace(name, names::PartName(to, part)) && errno != ENOENT)
            return Failed(name);
    }
    return std::nullopt;
}

} // namespace

std::optional<RotationFailure> RotateArchiveSeries(const std::string& archivePath,
                                                   std::int32_t depth) {
    if (!FileExists(archivePath))
        return std::nullopt;
    const std::string first = names::SeriesCopy(archivePath, 1);
    if (depth >= 1) {
        const std::vector<std::int64_t> copies =
            ListedCopies(archivePath, depth).value_or(ProbedCopies(archivePath, depth));
        std::vector<std::string> touched{archivePath};
        for (const std::int64_t n : copies)
            touched.push_back(names::SeriesCopy(archivePath, n));
        if (const auto failure = FirstNotAFile(touched))
            return failure;
        // Oldest first: each copy moves up into a number that was already handled.
        for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
            const std::string name = names::SeriesCopy(archivePath, *it);
            const auto failure = *it == depth
                                     ? DeleteBackup(name)
                                     : MoveBackup(name, names::SeriesCopy(archivePath, *it + 1));
            if (failure)
                return failure;
        }
        if (const auto failure = MoveBackup(archivePath, first))
            return failure;
    } else if (const auto failure = FirstNotAFile({archivePath})) {
        return failure;
    } else if (FileExists(first)) {
        // Keeping no copies: the first copy, once made, stays for good and the archive gives
        // way to the new one.
        if (const auto failure = DeleteBackup(archivePath))
            return failure;
    } else if (const auto failure = MoveBackup(archivePath, first)) {
        return failure;
    }
    fs::SyncFolder(names::FolderOf(archivePath), first);
    return std::nullopt;
}

std::optional<RotationFailure> PruneDateTimeArchives(const std::string& archive,
                                                     std::int32_t depth) {
    const std::string folder = names::FolderOf(archive);
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir)
        return std::nullopt;
    std::vector<std::string> found;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string path = folder + "/" + entry->d_name;
        if (names::IsDateTimeArchive(entry->d_name) && IsRegularFile(path))
            found.push_back(entry->d_name);
    }
    // Twelve digits of the date and time: the order of the names is the order of the backups.
    std::sort(found.begin(), found.end());
    const std::size_t keep = static_cast<std::size_t>(std::max<std::int32_t>(depth, 0)) + 1;
    const std::string own = names::NameOf(archive);
    for (std::size_t i = 0; i + keep < found.size(); ++i) {
        if (found[i] == own)
            continue;
        if (const auto failure = DeleteBackup(folder + "/" + found[i]))
            return failure;
    }
    fs::SyncFolder(folder, archive);
    return std::nullopt;
}

} // namespace ostrivane
