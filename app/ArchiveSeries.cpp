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

// The numbers of the copies B_n.cab, 1 <= n <= depth, that exist now, newest last.
std::vector<std::int64_t> ExistingCopies(const std::string& base, std::int32_t depth) {
    std::vector<std::int64_t> numbers;
    const auto slash = base.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : base.substr(0, slash + 1);
    const std::string prefix = slash == std::string::npos ? base : base.substr(slash + 1);
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir)
        return numbers;
    while (const dirent* entry = readdir(dir.get())) {
        const std::int64_t n = SeriesNumber(entry->d_name, prefix);
        if (n >= 1 && n <= depth && FileExists(ArchiveSeriesName(base, n)))
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace

std::string ArchiveSeriesBase(const std::string& archivePath) {
    const auto dot = archivePath.find('.');
    return dot == std::string::npos ? std::string() : archivePath.substr(0, dot);
}

std::string ArchiveSeriesName(const std::string& base, std::int64_t n) {
    return base + "_" + std::to_string(n) + ".cab";
}

void RotateArchiveSeries(const std::string& archivePath, std::int32_t depth) {
    if (!FileExists(archivePath))
        return;
    const std::string base = ArchiveSeriesBase(archivePath);
    if (depth >= 1) {
        // Oldest first: each copy moves up into a number that was already handled.
        const std::vector<std::int64_t> copies = ExistingCopies(base, depth);
        for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
            const std::string name = ArchiveSeriesName(base, *it);
            if (*it == depth)
                unlink(name.c_str());
            else
                fs::RenameNoReplace(name, ArchiveSeriesName(base, *it + 1));
        }
    }
    fs::RenameNoReplace(archivePath, ArchiveSeriesName(base, 1));
    if (FileExists(archivePath))
        unlink(archivePath.c_str());
}

} // namespace ostrivane
