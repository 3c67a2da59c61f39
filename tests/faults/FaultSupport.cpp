#include "FaultSupport.h"

#include "archive/model/ErrorCodes.h"
#include "platform/fs/Paths.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace faults {

namespace {

// Removes everything below the folder open on `fd` and closes it; relative to each folder, so
// that no path length limits it.
void RemoveBelow(int fd) {
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    for (const std::string& name : names) {
        const int child = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (child >= 0) {
            ::fchmod(child, 0755);
            RemoveBelow(child);
            ::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
        }
    }
    ::closedir(dir);
}

std::uint32_t U32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t U16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

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

Scratch::Scratch(bool inMemory) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    if (inMemory && ::access("/dev/shm", W_OK) == 0)
        base = "/dev/shm";
    std::string pattern = base + "/ostrivane-faults-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
    ::chmod(path_.c_str(), 0755);
}

Scratch::~Scratch() {
    RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        RemoveBelow(fd);
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

void WriteFile(const std::string& path, const std::string& bytes) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Pattern(std::size_t size, std::uint32_t seed) {
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(engine() & 0xFF);
    return bytes;
}

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

CabListing ReadListing(const std::string& cabinet) {
    CabListing listing;
    const std::string b = ReadFile(cabinet);
    if (b.size() < 36 || b.compare(0, 4, "MSCF") != 0)
        return listing;
    const std::uint32_t filesAt = U32(b, 16);
    listing.fileCount = U16(b, 28);
    std::size_t at = filesAt;
    for (int i = 0; i < listing.fileCount; ++i) {
        if (at + 16 > b.size())
            return listing;
        const std::size_t end = b.find('\0', at + 16);
        if (end == std::string::npos)
            return listing;
        listing.files[b.substr(at + 16, end - at - 16)] = U32(b, at);
        at = end + 1;
    }
    listing.valid = true;
    return listing;
}

int Shell(const std::string& command, std::string* output, int seconds) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::setpgid(0, 0);
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000))) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    if (timedOut)
        ::kill(-pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (output != nullptr)
        *output = text;
    if (timedOut || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool CabextractAccepts(const std::string& cabinet) {
    return Shell("cabextract -q -t " + Quote(cabinet)) == 0;
}

std::string ReadersAccept(const std::string& cabinet) {
    const std::string c = Quote(cabinet);
    const std::pair<const char*, std::string> readers[] = {
        {"cabextract", "cabextract -q -t " + c},
        {"7zz", "7zz t " + c},
        {"bsdtar", "bsdtar -tf " + c + " >/dev/null"},
        {"gcab",
         "d=$(mktemp -d) && (cd \"$d\" && gcab -x " + c + "); s=$?; rm -rf \"$d\"; exit $s"},
    };
    std::string refused;
    for (const auto& [name, command] : readers) {
        std::string output;
        if (Shell(command, &output) != 0)
            refused += std::string(name) + ": " + output.substr(0, 500) + "\n";
    }
    return refused;
}

std::set<std::string> CabextractNames(const std::string& cabinet) {
    std::string output;
    Shell("cabextract -l " + Quote(cabinet), &output);
    std::set<std::string> names;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // "      size | dd.mm.yyyy hh:mm:ss | name"
        const std::size_t second = line.find(" | ", line.find(" | ") + 1);
        if (line.find(" | ") == std::string::npos || second == std::string::npos)
            continue;
        const std::string name = line.substr(second + 3);
        if (name != "Name")
            names.insert(name);
    }
    return names;
}

std::set<std::string> StoredNamesOfTree(const std::string& root, bool recurse) {
    std::set<std::string> names;
    const std::string last = ostrivane::fs::NameOf(root);
    CollectStoredNames(root, last + "\\", recurse, names);
    return names;
}

int RunGuarded(const std::function<int()>& step, int seconds) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -2;
    if (pid == 0) {
        ::alarm(static_cast<unsigned>(seconds) + 5);
        int result = 0;
        try {
            result = step();
        } catch (...) {
            result = 254;
        }
        std::fflush(nullptr);
        ::_exit(result & 0xFF);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? -1 : -2;
    return WEXITSTATUS(status);
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

bool IsRoot() {
    return ::geteuid() == 0;
}

} // namespace faults
