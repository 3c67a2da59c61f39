#include "app/ArchiveSeries.h"

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

} // namespace

std::string ArchiveSeriesBase(const std::string& archivePath) {
    const auto slash = archivePath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = archivePath.find('.', nameStart);
    return dot == std::string::npos ? archivePath : archivePath.substr(0, dot);
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
        // Oldest first: each copy moves up into a number that was already handled. A copy that
        // vanished meanwhile has nothing left to move.
        for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
            const std::string name = ArchiveSeriesName(base, *it);
            const bool done = *it == depth
                                  ? unlink(name.c_str()) == 0
                                  : fs::RenameNoReplace(name, ArchiveSeriesName(base, *it + 1));
            if (!done && errno != ENOENT)
                return Failed(name);
        }
        if (!fs::RenameNoReplace(archivePath, first))
            return Failed(archivePath);
    } else if (!fs::RenameNoReplace(archivePath, first)) {
        // Keeping no copies: the first copy, once made, stays for good and the archive gives
        // way to the new one.
        if (errno != EEXIST || unlink(archivePath.c_str()) != 0)
            return Failed(archivePath);
    }
    fs::SyncFolderOf(first);
    return std::nullopt;
}

} // namespace ostrivane
