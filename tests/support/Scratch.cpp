#include "Scratch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <vector>

namespace testsupport {

namespace {

// The names in the folder open as `dir`, without "." and "..".
std::vector<std::string> Names(DIR* dir) {
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

// Removes everything below the folder open on `fd` and closes it; relative to each folder, so
// that no path length limits it. Folders are made writable and searchable first, files need
// not be: their folder decides.
void RemoveBelow(int fd) {
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return;
    }
    for (const std::string& name : Names(dir)) {
        struct stat own {};
        if (::fstatat(::dirfd(dir), name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(own.st_mode)) {
            ::fchmodat(::dirfd(dir), name.c_str(), 0755, 0);
            const int child =
                ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (child >= 0)
                RemoveBelow(child);
            ::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
        }
    }
    ::closedir(dir);
}

void CollectContents(const std::string& folder, const std::string& prefix,
                     std::map<std::string, std::string>& files) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const std::vector<std::string> names = Names(dir);
    ::closedir(dir);
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat own {};
        if (::lstat(path.c_str(), &own) != 0)
            continue;
        if (S_ISDIR(own.st_mode)) {
            CollectContents(path, prefix + name + "/", files);
            continue;
        }
        struct stat target {};
        if (::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode))
            files[prefix + name] = ReadFile(path);
    }
}

} // namespace

Scratch::Scratch(bool inMemory) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (inMemory && ::access("/dev/shm", W_OK) == 0)
        base = "/dev/shm";
    std::string pattern = base + "/ostrivane-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder below " + base);
    path_ = pattern;
    ::chmod(path_.c_str(), 0755);
}

Scratch::~Scratch() {
    RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
    struct stat own {};
    if (::lstat(path.c_str(), &own) != 0)
        return;
    if (!S_ISDIR(own.st_mode)) {
        ::unlink(path.c_str());
        return;
    }
    ::chmod(path.c_str(), 0755);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0)
        RemoveBelow(fd);
    ::rmdir(path.c_str());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    struct stat own {};
    return ::lstat(path.c_str(), &own) == 0;
}

void MakeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot make the folder " + path);
}

std::string Listing(const std::string& folder) {
    std::set<std::string> sorted;
    if (DIR* dir = ::opendir(folder.c_str())) {
        for (const std::string& name : Names(dir))
            sorted.insert(name);
        ::closedir(dir);
    }
    std::string listing;
    for (const std::string& name : sorted)
        listing += (listing.empty() ? "" : " ") + name;
    return listing;
}

std::map<std::string, std::string> TreeContents(const std::string& root) {
    std::map<std::string, std::string> files;
    CollectContents(root, "", files);
    return files;
}

} // namespace testsupport
