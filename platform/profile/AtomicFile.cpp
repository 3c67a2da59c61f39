#include "platform/profile/AtomicFile.h"

#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"
#include "platform/fs/UniqueFd.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::profile {

namespace {

// The file a symbolic link at `path` leads to, else `path` itself.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::array<char, PATH_MAX> resolved{};
    if (::realpath(path.c_str(), resolved.data()) == nullptr)
        return path;
    return resolved.data();
}

// Whether a failed creation of a file means "no right to write here" rather than a failed write.
bool IsRefusal(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == ENOENT ||
           error == ENOTDIR || error == EISDIR;
}

// Creates a new file "<target>.tmpXXXXXX" exclusively; its name goes to `tempPath`.
UniqueFd CreateTemporary(const std::string& target, std::string& tempPath) {
    static constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device entropy;
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = target + ".tmp";
        for (int i = 0; i < 6; ++i)
            candidate.push_back(kLetters[pick(entropy)]);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            tempPath = std::move(candidate);
            return UniqueFd(fd);
        }
        if (errno != EEXIST)
            break;
    }
    return UniqueFd();
}

} // namespace

ReadResult ReadWholeFile(const std::string& path, std::string& contents) {
    contents.clear();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Unreadable;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ReadResult::Unreadable;
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            contents.clear();
            return ReadResult::Unreadable;
        }
        if (got == 0)
            return ReadResult::Read;
        contents.append(buffer.data(), static_cast<std::size_t>(got));
    }
}

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) {
    return ReplaceFile(path, contents) == ReplaceResult::Replaced;
}

ReplaceResult ReplaceFile(const std::string& path, std::string_view contents,
                          std::optional<unsigned> mode) {
    const std::string target = ResolveTarget(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0))
        return ReplaceResult::Refused;

    std::string tempPath;
    UniqueFd fd = CreateTemporary(target, tempPath);
    if (!fd.Valid())
        return IsRefusal(errno) ? ReplaceResult::Refused : ReplaceResult::WriteFailed;
    bool ok = true;
    if (mode) {
        ok = ::fchmod(fd.Get(), *mode & 07777) == 0;
    } else if (exists) {
        ok = ::fchmod(fd.Get(), existing.st_mode & 07777) == 0;
        // Keeping the owner needs privileges unless it is this user; without them the new file
        // belongs to this user, as any rewrite by this user would.
        [[maybe_unused]] const bool ownerKept =
            ::fchown(fd.Get(), existing.st_uid, existing.st_gid) == 0;
    }
    ok = ok && fs::WriteAll(fd.Get(), contents) && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return ReplaceResult::WriteFailed;
    }
    fs::SyncFolder(fs::FolderOf(target));
    return ReplaceResult::Replaced;
}

} // namespace ostrivane::profile
