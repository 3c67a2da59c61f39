#include "FaultSupport.h"

#include "archive/model/ErrorCodes.h"
#include "platform/fs/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace faults {

namespace {

void CollectStoredNames(const std::string& dir, const std::string& prefix, bool recurse,
                        std::set<std::string>& names) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    DIR* stream = ::fdopendir(fd);
    if (stream == nullptr) {
        ::close(fd);
        return;
    }
    std::vector<std::string> entries;
    while (const dirent* e = ::readdir(stream))
        if (std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..")
            entries.push_back(e->d_name);
    for (const std::string& name : entries) {
        struct stat own {};
        if (::fstatat(::dirfd(stream), name.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // A link is recorded in the catalog as a link, never stored as what it leads to.
        if (S_ISLNK(own.st_mode))
            continue;
        if (S_ISDIR(own.st_mode)) {
            if (recurse)
                CollectStoredNames(dir + "/" + name, prefix + name + "\\", recurse, names);
            continue;
        }
        struct stat target {};
        if (::fstatat(::dirfd(stream), name.c_str(), &target, 0) == 0 && S_ISREG(target.st_mode))
            names.insert(prefix + name);
    }
    ::closedir(stream);
}

} // namespace

Reports::Reports(TMakeCab& cab) {
    cab.OnError = [this](TComponent*, const std::string& file, const std::string& extended,
                         const std::string&, int code) {
        reports_.push_back({code, file, extended});
    };
}

int Reports::Count(int code) const {
    return static_cast<int>(std::count_if(reports_.begin(), reports_.end(),
                                          [code](const Report& r) { return r.Code == code; }));
}

bool Reports::Names(int code, const std::string& file) const {
    return std::any_of(reports_.begin(), reports_.end(), [&](const Report& r) {
        return r.Code == code && (r.FileName == file || r.ExtendedMsg == file);
    });
}

std::string Describe(const std::vector<Report>& reports) {
    std::string text;
    for (const Report& r : reports)
        text += std::to_string(r.Code) + " " + ErrorText(r.Code) + ": " + r.FileName + " (" +
                r.ExtendedMsg + ")\n";
    return text.empty() ? "no reports" : text;
}

std::string Reports::Describe() const {
    return faults::Describe(reports_);
}

std::set<std::string> StoredNamesOfTree(const std::string& root, bool recurse) {
    std::set<std::string> names;
    const std::string last = ostrivane::fs::NameOf(root);
    CollectStoredNames(root, last + "\\", recurse, names);
    return names;
}

bool GuardedBuild::Reported(int code, const std::string& file) const {
    return std::any_of(reports.begin(), reports.end(),
                       [&](const Report& r) { return r.Code == code && r.FileName == file; });
}

std::string GuardedBuild::Describe() const {
    return "child status " + std::to_string(status) + "; " + faults::Describe(reports);
}

GuardedBuild BuildGuarded(const std::function<void(TMakeCab&)>& setUp, int seconds,
                          const std::string& reportFile) {
    GuardedBuild build;
    build.status = RunGuarded(
        [&] {
            std::string written;
            TMakeCab cab;
            cab.OnError = [&](TComponent*, const std::string& file, const std::string& extended,
                              const std::string&, int code) {
                written += std::to_string(code) + '\t' + file + '\t' + extended + '\0';
            };
            setUp(cab);
            const int added = cab.Compress();
            std::ofstream out(reportFile, std::ios::binary | std::ios::trunc);
            out << written;
            return std::min(added, 250);
        },
        seconds);
    const std::string text = ReadFile(reportFile);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\0', at);
        const std::string record = text.substr(at, end - at);
        const std::size_t tab1 = record.find('\t');
        const std::size_t tab2 = record.find('\t', tab1 + 1);
        if (tab1 != std::string::npos && tab2 != std::string::npos)
            build.reports.push_back({std::atoi(record.substr(0, tab1).c_str()),
                                     record.substr(tab1 + 1, tab2 - tab1 - 1),
                                     record.substr(tab2 + 1)});
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return build;
}

} // namespace faults
