// File-system helpers on POSIX calls.
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace ostrivane::fs {

namespace {

std::string BareName(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return NameOf(path);
}

} // namespace

std::uint32_t AttributesFromMode(unsigned mode, const std::string& name) {
    std::uint32_t attr = 0;
    if (S_ISDIR(mode))
        attr |= kAttrDirectory;
    if (S_ISREG(mode))
        attr |= kAttrArchive;
    if (!(mode & S_IWUSR))
        attr |= kAttrReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attr |= kAttrHidden;
    return attr;
}

std::uint32_t PathAttributesFromMode(unsigned mode, const std::string& path) {
    return AttributesFromMode(mode, BareName(path));
}

std::optional<std::uint32_t> FileAttributes(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return PathAttributesFromMode(st.st_mode, path);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string SystemTempPath() {
    std::string dir;
    if (const char* env = std::getenv("TMPDIR"); env && *env && IsDirectory(env))
        dir = env;
    else
        dir = "/tmp";
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

bool CreateDirectories(const std::string& path, unsigned mode) {
    if (path.empty())
        return false;
    // Each prefix that ends before a "/" is created in turn, then the whole path.
    for (std::size_t pos = path.find('/', 1); pos != std::string::npos;
         pos = path.find('/', pos + 1)) {
        std::string prefix = path.substr(0, pos);
        if (!prefix.empty() && prefix.back() != '/')
            ::mkdir(prefix.c_str(), static_cast<mode_t>(mode));
    }
    ::mkdir(path.c_str(), static_cast<mode_t>(mode));
    return IsDirectory(path);
}

std::optional<std::string> CreateUniqueTempFile(const std::string& folder,
                                                const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    std::string dir = folder.empty() ? std::string("./") : folder;
    if (dir.back() != '/')
        dir += '/';
    // Start from a number that differs between processes and calls, then count up through
    // the 16-bit range as the Windows call does.
    auto ticks =
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFF);
    unsigned start = (ticks ^ static_cast<unsigned>(::getpid()) ^ (counter++ * 7919u)) & 0xFFFF;
    for (unsigned i = 0; i < 0x10000; ++i) {
        unsigned n = ((start + i) & 0xFFFF);
        if (n == 0)
            continue;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", n);
        std::string name = dir + prefix + hex + ".tmp";
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            return std::nullopt; // errno tells why (EROFS, EACCES, ENOENT ...)
    }
    errno = EEXIST;
    return std::nullopt;
}

namespace {

FileCallHook& Hook() {
    static FileCallHook hook;
    return hook;
}

// Whether the call may be made; false with errno set to the hook's answer when it may not.
bool Allowed(FileCall call, const std::string& path) {
    const FileCallHook& hook = Hook();
    if (!hook)
        return true;
    if (const int refused = hook(call, path); refused != 0) {
        errno = refused;
        return false;
    }
    return true;
}

bool SyncOpened(int fd, bool dropFromCache) {
    // EINVAL: the file system offers no synchronisation; there is nothing more to do.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int saved = errno;
    if (synced && dropFromCache)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    errno = saved;
    return synced;
}

bool SyncPath(const std::string& path, int flags, bool dropFromCache) {
    if (!Allowed(FileCall::Sync, path))
        return false;
    const int fd = ::open(path.empty() ? "." : path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = SyncOpened(fd, dropFromCache);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return synced;
}

} // namespace

void SetFileCallHook(FileCallHook hook) {
    Hook() = std::move(hook);
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (!Allowed(FileCall::Rename, from))
        return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    if (::unlink(from.c_str()) != 0) {
        int saved = errno;
        ::unlink(to.c_str());
        errno = saved;
        return false;
    }
    return true;
}

bool Unlink(const std::string& path) {
    return Allowed(FileCall::Unlink, path) && ::unlink(path.c_str()) == 0;
}

bool UnlinkAt(int dirFd, const std::string& name) {
    return Allowed(FileCall::Unlink, name) && ::unlinkat(dirFd, name.c_str(), 0) == 0;
}

bool SyncFile(const std::string& path, bool dropFromCache) {
    return SyncPath(path, O_RDONLY, dropFromCache);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool ReadAt(int fd, void* out, std::size_t count, std::uint64_t offset) {
    auto* into = static_cast<char*>(out);
    while (count > 0) {
        const ssize_t n = ::pread(fd, into, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        count -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool SyncDescriptor(int fd, const std::string& path) {
    return Allowed(FileCall::Sync, path) && SyncOpened(fd, false);
}

bool SyncFolder(const std::string& folder, const std::string& fileInside) {
    if (SyncPath(folder, O_RDONLY | O_DIRECTORY, false))
        return true;
    if (errno != EACCES || fileInside.empty())
        return false;
    // A folder that may be written but not read (a drop folder) cannot be opened for that: its
    // whole file system is flushed instead, through a file inside it.
    const int fd = ::open(fileInside.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::syncfs(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return synced;
}

std::string ExecutableFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return "./";
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string folder =
                FolderPartOf(std::string(buffer.data(), static_cast<std::size_t>(n)));
            return folder.empty() ? std::string("./") : folder;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace ostrivane::fs
