#include "app/run/ArchiveSeries.h"

#include "cabinet/format/ArchiveParts.h"
#include "platform/fs/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <memory>
#include <string_view>
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

std::string FolderOf(const std::string& base) {
    const auto slash = base.rfind('/');
    return slash == std::string::npos ? std::string(".") : base.substr(0, slash + 1);
}

std::string NameOf(const std::string& base) {
    const auto slash = base.rfind('/');
    return slash == std::string::npos ? base : base.substr(slash + 1);
}

// The number n of a name "<prefix>_<n>.cab", written without leading zeros; 0 when the name is no
// member of the series.
std::int64_t SeriesNumber(std::string_view name, std::string_view prefix) {
    constexpr std::string_view suffix = ".cab";
    if (name.size() <= prefix.size() + 1 + suffix.size() || name.substr(0, prefix.size()) != prefix)
        return 0;
    name.remove_prefix(prefix.size());
    if (name.front() != '_' || !name.ends_with(suffix))
        return 0;
    std::string_view digits = name.substr(1, name.size() - 1 - suffix.size());
    if (digits.empty() || digits.front() == '0' || digits.size() > 18)
        return 0;
    std::int64_t n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc{} || end != digits.data() + digits.size())
        return 0;
    return n;
}

// The numbers of the copies B_n.cab, 1 <= n <= depth, that the folder's listing shows, in
// ascending order; nothing when the folder cannot be listed.
std::optional<std::vector<std::int64_t>> ListedCopies(const std::string& base, std::int32_t depth) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(FolderOf(base).c_str()));
    if (!dir)
        return std::nullopt;
    const std::string prefix = NameOf(base);
    std::vector<std::int64_t> numbers;
    while (const dirent* entry = readdir(dir.get())) {
        const std::int64_t n = SeriesNumber(entry->d_name, prefix);
        if (n >= 1 && n <= depth && FileExists(ArchiveSeriesName(base, n)))
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// The copies found by name where the folder cannot be listed (a drop folder that may be written
// and searched but not read): B_1, B_2, ... while they exist, and B_depth. A copy beyond a gap is
// not seen and so never touched, which loses nothing: every rename goes to a name just found
// free.
std::vector<std::int64_t> ProbedCopies(const std::string& base, std::int32_t depth) {
    std::vector<std::int64_t> numbers;
    for (std::int64_t n = 1; n <= depth && FileExists(ArchiveSeriesName(base, n)); ++n)
        numbers.push_back(n);
    if (depth >= 1 && (numbers.empty() || numbers.back() < depth) &&
        FileExists(ArchiveSeriesName(base, depth)))
        numbers.push_back(depth);
    return numbers;
}

std::optional<RotationFailure> Failed(const std::string& file) {
    return RotationFailure{file, errno};
}

// Deletes the backup `archive` with every part of its set; a file already gone is no failure.
std::optional<RotationFailure> DeleteBackup(const std::string& archive) {
    const int parts = CountArchiveParts(archive);
    if (unlink(archive.c_str()) != 0 && errno != ENOENT)
        return Failed(archive);
    for (int part = 2; part <= parts; ++part) {
        const std::string name = ArchivePartName(archive, part);
        if (unlink(name.c_str()) != 0 && errno != ENOENT)
            return Failed(name);
    }
    return std::nullopt;
}

// Gives the backup `from` with its parts the name `to` (parts to's own part names). Parts that an
// earlier, larger set left under the new name go first: they would pass for parts of this one.
std::optional<RotationFailure> MoveBackup(const std::string& from, const std::string& to) {
    for (int part = 2; IsArchivePart(ArchivePartName(to, part)); ++part) {
        const std::string stale = ArchivePartName(to, part);
        if (unlink(stale.c_str()) != 0 && errno != ENOENT)
            return Failed(stale);
    }
    const int parts = CountArchiveParts(from);
    if (!fs::RenameNoReplace(from, to))
        return errno == ENOENT ? std::nullopt : Failed(from);
    for (int part = 2; part <= parts; ++part) {
        const std::string name = ArchivePartName(from, part);
        if (!fs::RenameNoReplace(name, ArchivePartName(to, part)) && errno != ENOENT)
            return Failed(name);
    }
    return std::nullopt;
}

} // namespace

std::string ArchiveSeriesBase(const std::string& archivePath) {
    // The copies are named from the same stem as the parts of a set.
    return ArchiveStem(archivePath);
}

std::string ArchiveSeriesName(const std::string& base, std::int64_t n) {
    return base + "_" + std::to_string(n) + ".cab";
}

std::optional<RotationFailure> RotateArchiveSeries(const std::string& archivePath,
                                                   std::int32_t depth) {
    if (!FileExists(archivePath))
        return std::nullopt;
    const std::string base = ArchiveSeriesBase(archivePath);
    const std::string first = ArchiveSeriesName(base, 1);
    if (depth >= 1) {
        const std::vector<std::int64_t> copies =
            ListedCopies(base, depth).value_or(ProbedCopies(base, depth));
        // Oldest first: each copy moves up into a number that was already handled.
        for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
            const std::string name = ArchiveSeriesName(base, *it);
            const auto failure = *it == depth ? DeleteBackup(name)
                                              : MoveBackup(name, ArchiveSeriesName(base, *it + 1));
            if (failure)
                return failure;
        }
        if (const auto failure = MoveBackup(archivePath, first))
            return failure;
    } else if (FileExists(first)) {
        // Keeping no copies: the first copy, once made, stays for good and the archive gives
        // way to the new one.
        if (const auto failure = DeleteBackup(archivePath))
            return failure;
    } else if (const auto failure = MoveBackup(archivePath, first)) {
        return failure;
    }
    fs::SyncFolder(FolderOf(base), first);
    return std::nullopt;
}

} // namespace ostrivane
