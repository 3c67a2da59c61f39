#include "cabinet/read/CabinetRestore.h"

#include "cabinet/format/CabinetFormat.h"
#include "cabinet/read/CabinetReader.h"
#include "platform/fs/DosDateTime.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string SystemText(int code) {
    return std::strerror(code);
}

// The parts of a stored name ("\" or "/" between them) when it names a place inside a folder;
// empty, with `reason` set, for an absolute name or one with an empty, "." or ".." part.
std::vector<std::string> SafeNameParts(const std::string& name, std::string& reason) {
    std::vector<std::string> parts;
    if (name.empty() || name[0] == '/' || name[0] == '\\') {
        reason = "refused: an absolute name";
        return {};
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        std::string part = name.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") {
            reason = part.empty() ? "refused: the name has an empty part"
                                  : "refused: the name has a \"" + part + "\" part";
            return {};
        }
        parts.push_back(std::move(part));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// Whether `name` is taken by `pattern`: the whole name, or one of the folders it lies in.
bool NameMatches(const std::string& name, std::string pattern) {
    while (pattern.size() > 1 && pattern.back() == '/')
        pattern.pop_back();
    if (::fnmatch(pattern.c_str(), name.c_str(), 0) == 0)
        return true;
    for (std::size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
        if (::fnmatch(pattern.c_str(), name.substr(0, slash).c_str(), 0) == 0)
            return true;
    }
    return false;
}

// The folders below the restore folder, opened one part at a time without following links and
// made where missing. The folder opened last is kept, since files of one folder come together.
class FolderWalk {
public:
    explicit FolderWalk(UniqueFd root) : root_(std::move(root)) {}

    // The folder of `parts` (all but the last), or -1 with `reason` set.
    int Open(const std::vector<std::string>& parts, std::string& reason) {
        const std::vector<std::string> folders(parts.begin(), parts.end() - 1);
        if (folders.empty())
            return root_.Get();
        if (cached_.Valid() && folders == cachedParts_)
            return cached_.Get();
        cached_.Reset();
        UniqueFd current;
        std::string path;
        for (const std::string& part : folders) {
            const int parent = current.Valid() ? current.Get() : root_.Get();
            path += (path.empty() ? "" : "/") + part;
            if (::mkdirat(parent, part.c_str(), 0777) != 0 && errno != EEXIST) {
                reason = "folder " + path + " cannot be made: " + SystemText(errno);
                return -1;
            }
            const int next =
                ::openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) {
                reason = errno == ELOOP || errno == ENOTDIR
                             ? "refused: " + path + " is a link or a file, not a folder"
                             : "folder " + path + " cannot be opened: " + SystemText(errno);
                return -1;
            }
            current.Reset(next);
        }
        cached_ = std::move(current);
        cachedParts_ = folders;
        return cached_.Get();
    }

private:
    UniqueFd root_;
    UniqueFd cached_;
    std::vector<std::string> cachedParts_;
};

class Restorer : public CabinetVisitor {
public:
    Restorer(UniqueFd root, const RestoreOptions& options,
             const std::function<void(const std::string&, const std::string&)>& problem)
        : folders_(std::move(root)), options_(options), problem_(problem),
          matched_(options.Patterns.size(), false) {}

    bool Begin(const CabinetEntry& entry) override {
        if (!Selected(entry.Name))
            return false;
        std::string reason;
        const std::vector<std::string> parts = SafeNameParts(entry.StoredName, reason);
        if (!parts.empty())
            parent_ = folders_.Open(parts, reason);
        if (parts.empty() || parent_ < 0 || !Placeable(parts.back(), reason) ||
            !CreateTemporary(entry, reason)) {
            Fail(entry.Name, reason.rfind("refused", 0) == 0 ? reason : "not restored: " + reason);
            return false;
        }
        target_ = parts.back();
        writeError_ = 0;
        return true;
    }

    bool Data(const std::uint8_t* bytes, std::size_t count) override {
        while (count > 0 && writeError_ == 0) {
            const ssize_t n = ::write(temporary_.Get(), bytes, count);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                writeError_ = n < 0 ? errno : EIO;
                break;
            }
            bytes += n;
            count -= static_cast<std::size_t>(n);
        }
        return writeError_ == 0;
    }

    void End(const CabinetEntry& entry, const std::string& problem) override {
        std::string reason = problem;
        if (reason.empty() && writeError_ != 0)
            reason = "cannot be written: " + SystemText(writeError_);
        if (reason.empty())
            reason = Commit(entry);
        temporary_.Reset();
        if (!reason.empty()) {
            ::unlinkat(parent_, temporaryName_.c_str(), 0);
            Fail(entry.Name, "not restored: " + reason);
            return;
        }
        ++outcome_.Restored;
    }

    void PartProblem(const std::string& part, const std::string& problem) override {
        Fail(part, problem);
    }

    RestoreOutcome Outcome() {
        for (std::size_t i = 0; i < matched_.size(); ++i) {
            if (!matched_[i])
                outcome_.UnmatchedPatterns.push_back(options_.Patterns[i]);
        }
        return outcome_;
    }

private:
    bool Selected(const std::string& name) {
        bool selected = options_.Patterns.empty();
        for (std::size_t i = 0; i < options_.Patterns.size(); ++i) {
            if (NameMatches(name, options_.Patterns[i])) {
                matched_[i] = true;
                selected = true;
            }
        }
        return selected;
    }

    // Whether the name may be taken: free, or held by a file that may be replaced.
    bool Placeable(const std::string& name, std::string& reason) {
        struct stat info {};
        if (::fstatat(parent_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        if (!options_.Overwrite) {
            reason = "a file of that name exists and is kept";
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            reason = "a folder of that name exists";
            return false;
        }
        return true;
    }

    bool CreateTemporary(const CabinetEntry& entry, std::string& reason) {
        mode_t mode = (entry.Attributes & ostrivane::cabformat::kAttrReadOnly) ? 0444 : 0666;
        if (entry.Attributes & ostrivane::cabformat::kAttrExecute)
            mode |= 0111;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[64];
            std::snprintf(name, sizeof name, ".ostrivane-restore-%d-%u.tmp",
                          static_cast<int>(::getpid()), nextTemporary_++);
            const int fd =
                ::openat(parent_, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd >= 0) {
                temporary_.Reset(fd);
                temporaryName_ = name;
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        reason = "cannot be created: " + SystemText(errno);
        return false;
    }

    // Times, then the rename into place; the problem met, or "".
    std::string Commit(const CabinetEntry& entry) {
        struct timespec times[2] = {};
        if (const auto modified = ostrivane::fs::TimeOfDosDateTime(entry.Date, entry.Time)) {
            times[1].tv_sec = *modified;
            times[0] = times[1];
            ::futimens(temporary_.Get(), times);
        }
        if (::close(temporary_.Release()) != 0)
            return "cannot be written: " + SystemText(errno);
        if (options_.Overwrite) {
            if (::renameat(parent_, temporaryName_.c_str(), parent_, target_.c_str()) != 0)
                return "cannot be put in place: " + SystemText(errno);
            return {};
        }
        if (::renameat2(parent_, temporaryName_.c_str(), parent_, target_.c_str(),
                        RENAME_NOREPLACE) == 0)
            return {};
        if (errno == EINVAL || errno == ENOSYS) {
            // File systems without RENAME_NOREPLACE: a hard link never replaces either.
            if (::linkat(parent_, temporaryName_.c_str(), parent_, target_.c_str(), 0) == 0) {
                ::unlinkat(parent_, temporaryName_.c_str(), 0);
                return {};
            }
        }
        return errno == EEXIST ? "a file of that name exists and is kept"
                               : "cannot be put in place: " + SystemText(errno);
    }

    void Fail(const std::string& name, const std::string& reason) {
        ++outcome_.Failed;
        if (problem_)
            problem_(name, reason);
    }

    FolderWalk folders_;
    const RestoreOptions& options_;
    const std::function<void(const std::string&, const std::string&)>& problem_;
    std::vector<bool> matched_;
    RestoreOutcome outcome_;
    int parent_ = -1;
    std::string target_;
    UniqueFd temporary_;
    std::string temporaryName_;
    unsigned nextTemporary_ = 0;
    int writeError_ = 0;
};

} // namespace

RestoreOutcome RestoreCabinetSet(
    const std::vector<std::string>& parts, const std::string& folder, const RestoreOptions& options,
    const std::function<void(const std::string& name, const std::string& reason)>& problem) {
    ostrivane::fs::CreateDirectories(folder);
    UniqueFd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.Valid()) {
        RestoreOutcome outcome;
        outcome.Failed = 1;
        if (problem)
            problem(folder, "the folder cannot be made or opened: " + SystemText(errno));
        return outcome;
    }
    Restorer restorer(std::move(root), options, problem);
    ReadCabinetSet(parts, restorer);
    return restorer.Outcome();
}
