#include "cabinet/read/CabinetRestore.h"

#include "cabinet/format/ReadReasons.h"
#include "cabinet/read/CabinetReader.h"
#include "cabinet/read/SameContent.h"
#include "platform/cabformat/CabinetFormat.h"
#include "platform/fs/DosDateTime.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fnmatch.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace cf = ostrivane::cabformat;
namespace reasons = ostrivane::reasons;

// The parts of a stored name ("\" or "/" between them) when it names a place inside a folder;
// empty, with `reason` set, for an absolute name or one with an empty, "." or ".." part.
std::vector<std::string> SafeNameParts(const std::string& name, std::string& reason) {
    std::vector<std::string> parts;
    if (name.empty() || name[0] == '/' || name[0] == '\\') {
        reason = reasons::RefusedAbsolute();
        return {};
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        std::string part = name.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") {
            reason = part.empty() ? reasons::RefusedEmptyPart() : reasons::RefusedPart(part);
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

// A name is tried beside a taken one at most this often.
constexpr int kMostBesideAttempts = 1000;

// Renames `from` to `to` in the folder `parent` unless `to` is taken; 0 or the error number.
int RenameWithoutReplacing(int parent, const std::string& from, const std::string& to) {
    if (::renameat2(parent, from.c_str(), parent, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno == EINVAL || errno == ENOSYS) {
        // File systems without RENAME_NOREPLACE: a hard link never replaces either.
        if (::linkat(parent, from.c_str(), parent, to.c_str(), 0) == 0) {
            ::unlinkat(parent, from.c_str(), 0);
            return 0;
        }
    }
    return errno;
}

// Why a step failed: the kind, the system's error number, the words, and for a folder that
// cannot be had, that folder.
struct Failure {
    Failure() = default;
    Failure(RestoreFailure kind, int error, std::string text, std::string folder = {})
        : Kind(kind), Error(error), Text(std::move(text)), Folder(std::move(folder)) {}

    RestoreFailure Kind = RestoreFailure::WriteFailed;
    int Error = 0;
    std::string Text;
    std::string Folder;
};

// Makes the folder `path` with its parents where missing and checks that files can be made in
// it; 0, or the error number of the step that failed.
int ReadyFolder(const std::string& path) {
    for (std::size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
        const std::string prefix = path.substr(0, pos);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return errno;
        if (pos == std::string::npos)
            break;
    }
    if (!ostrivane::fs::IsDirectory(path))
        return ENOTDIR;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

Failure FolderFailure(const std::string& path, int error) {
    return {RestoreFailure::FolderFailed, error, reasons::RestoreFolderUnusable(path, error), path};
}

// The folders files are restored below, each opened once (made with its parents when missing),
// and the folders inside them, opened one part at a time without following links and made where
// missing. The folder opened last is kept, since files of one folder come together.
class FolderWalk {
public:
    // The folder `path` itself, or -1 with `failure` set.
    int Root(const std::string& path, Failure& failure) {
        auto found = roots_.find(path);
        if (found == roots_.end()) {
            int error = ReadyFolder(path);
            UniqueFd fd;
            if (error == 0) {
                fd.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
                error = fd.Valid() ? 0 : errno;
            }
            found = roots_.emplace(path, std::make_pair(std::move(fd), error)).first;
        }
        if (!found->second.first.Valid()) {
            failure = FolderFailure(path, found->second.second);
            return -1;
        }
        return found->second.first.Get();
    }

    // The folder of `parts` (all but the last) below `root`, or -1 with `failure` set.
    // Folders are made where missing unless `make` is false.
    int Open(int root, const std::string& rootPath, const std::vector<std::string>& parts,
             Failure& failure, bool make = true) {
        const std::vector<std::string> folders(parts.begin(), parts.end() - 1);
        if (folders.empty())
            return root;
        if (cached_.Valid() && root == cachedRoot_ && folders == cachedParts_)
            return cached_.Get();
        cached_.Reset();
        UniqueFd current;
        std::string path;
        for (const std::string& part : folders) {
            const int parent = current.Valid() ? current.Get() : root;
            path += (path.empty() ? "" : "/") + part;
            const bool made = make && ::mkdirat(parent, part.c_str(), 0777) == 0;
            if (made) {
                made_.insert(rootPath + "/" + path);
            } else if (make && errno != EEXIST) {
                failure = {RestoreFailure::FolderFailed, errno, reasons::FolderNotMade(path, errno),
                           rootPath + "/" + path};
                return -1;
            }
            const int next =
                ::openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) {
                failure =
                    errno == ELOOP || errno == ENOTDIR
                        ? Failure{RestoreFailure::Refused, errno, reasons::RefusedLinkInPath(path)}
                        : Failure{RestoreFailure::FolderFailed, errno,
                                  reasons::FolderNotOpened(path, errno), rootPath + "/" + path};
                return -1;
            }
            current.Reset(next);
        }
        cached_ = std::move(current);
        cachedRoot_ = root;
        cachedParts_ = folders;
        return cached_.Get();
    }

    // Whether this walk made the folder `path` (a root's path, "/", the parts below it).
    bool Made(const std::string& path) const { return made_.count(path) > 0; }
    // The folder kept open is closed.
    void Forget() {
        cached_.Reset();
        cachedParts_.clear();
    }

private:
    std::map<std::string, std::pair<UniqueFd, int>> roots_;
    std::set<std::string> made_;
    UniqueFd cached_;
    int cachedRoot_ = -1;
    std::vector<std::string> cachedParts_;
};

class Restorer : public CabinetVisitor {
public:
    Restorer(const std::string& folder, const RestoreOptions& options,
             const std::function<void(const RestoreProblem&)>& problem)
        : folder_(folder), options_(options), problem_(problem),
          matched_(options.Patterns.size(), false) {}

    bool Wants(const CabinetEntry& entry) override {
        bool selected = options_.Patterns.empty();
        for (const std::string& pattern : options_.Patterns)
            selected = selected || NameMatches(entry.Name, pattern);
        return selected && (!options_.Select || options_.Select(entry));
    }

    bool Begin(const CabinetEntry& entry) override {
        if (!Selected(entry))
            return false;
        Failure failure;
        if (!Prepare(entry, failure)) {
            if (failure.Kind != RestoreFailure::Refused)
                failure.Text = reasons::NotRestored(failure.Text);
            Fail(entry.Name, failure);
            return false;
        }
        writeError_ = 0;
        if (options_.Begun)
            options_.Begun(entry);
        return true;
    }

    bool Data(const std::uint8_t* bytes, std::size_t count) override {
        if (same_.Comparing()) {
            if (same_.Match(bytes, count)) {
                written_ += count;
                if (options_.Written)
                    options_.Written(written_);
                return true;
            }
            // A difference: the entry is written after all, beginning with the bytes found equal.
            WriteFromEqualPart();
            same_.End();
        }
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
            written_ += static_cast<std::uint64_t>(n);
        }
        if (options_.Written)
            options_.Written(written_);
        return writeError_ == 0;
    }

    void End(const CabinetEntry& entry, const std::string& problem) override {
        if (same_.Comparing()) {
            if (problem.empty() && same_.Identical()) {
                same_.End();
                ++outcome_.Identical;
                return;
            }
            if (problem.empty())
                WriteFromEqualPart();
            same_.End();
        }
        Failure failure;
        if (!problem.empty())
            failure = {RestoreFailure::Damaged, 0, problem};
        else if (writeError_ != 0)
            failure = {RestoreFailure::WriteFailed, writeError_, reasons::NotWritten(writeError_)};
        else
            Commit(entry, failure);
        temporary_.Reset();
        if (!failure.Text.empty()) {
            ::unlinkat(parent_, temporaryName_.c_str(), 0);
            failure.Text = reasons::NotRestored(failure.Text);
            Fail(entry.Name, failure);
            return;
        }
        ++outcome_.Restored;
    }

    // A folder or a link of the backup's catalog: a link is made where it belongs (never
    // followed, and nothing is ever written through it); an empty folder is made; every folder
    // this restore made gets its mode and time once everything is in it (FinishFolders).
    void Recorded(const std::string& part, const cf::Catalog& catalog,
                  const cf::CatalogEntry& recorded) override {
        CabinetEntry entry;
        entry.Part = part;
        entry.StoredName = std::string(catalog.Name(recorded));
        entry.Name = entry.StoredName;
        std::replace(entry.Name.begin(), entry.Name.end(), '\\', '/');
        entry.Recorded = &recorded;
        if (recorded.Kind == cf::CatalogKind::Link) {
            if (Selected(entry))
                RestoreLink(entry, std::string(catalog.Target(recorded)));
            return;
        }
        std::optional<RestorePlace> place =
            options_.Place ? options_.Place(entry) : RestorePlace{folder_, entry.StoredName};
        if (!place)
            return;
        std::string reason;
        std::vector<std::string> parts = SafeNameParts(place->Name, reason);
        if (parts.empty())
            return;
        std::string path = place->Folder;
        for (const std::string& name : parts)
            path += "/" + name;
        if (recorded.EmptyFolder() && Selected(entry)) {
            Failure failure;
            const int root = folders_.Root(place->Folder, failure);
            parts.push_back("."); // the folder itself is made, as the folder of a file would be
            if (root < 0 || folders_.Open(root, place->Folder, parts, failure) < 0) {
                failure.Text = reasons::NotRestored(failure.Text);
                Fail(entry.Name, failure);
                return;
            }
            parts.pop_back();
        }
        madeFolders_.push_back(
            {place->Folder, std::move(parts), std::move(path), recorded.Mode, recorded.Modified});
    }

    // The modes and times of the folders this restore made, the deepest first, so that no
    // folder's time moves again when something is put into it.
    void FinishFolders() {
        std::stable_sort(madeFolders_.begin(), madeFolders_.end(),
                         [](const MadeFolder& a, const MadeFolder& b) {
                             return a.Parts.size() > b.Parts.size();
                         });
        for (const MadeFolder& folder : madeFolders_) {
            if (!folders_.Made(folder.Path))
                continue;
            Failure failure;
            const int root = folders_.Root(folder.Root, failure);
            if (root < 0)
                continue;
            std::vector<std::string> parts = folder.Parts;
            parts.push_back(".");
            // Opened part by part without following a link, never made here.
            const int fd = folders_.Open(root, folder.Root, parts, failure, false);
            if (fd < 0)
                continue;
            ::fchmod(fd, folder.Mode & 0777);
            const struct timespec times[2] = {{static_cast<time_t>(folder.Modified.Seconds),
                                               static_cast<long>(folder.Modified.Nanoseconds)},
                                              {static_cast<time_t>(folder.Modified.Seconds),
                                               static_cast<long>(folder.Modified.Nanoseconds)}};
            ::futimens(fd, times);
        }
        folders_.Forget();
    }

    void PartProblem(const std::string& part, const std::string& problem) override {
        Fail(part, {RestoreFailure::Unreadable, 0, problem});
    }

    // The reading was stopped in the middle of a file: its temporary file goes.
    void Abandon() {
        outcome_.Stopped = true;
        same_.End();
        if (temporary_.Valid()) {
            temporary_.Reset();
            ::unlinkat(parent_, temporaryName_.c_str(), 0);
        }
    }

    RestoreOutcome Outcome() {
        for (std::size_t i = 0; i < matched_.size(); ++i) {
            if (!matched_[i])
                outcome_.UnmatchedPatterns.push_back(options_.Patterns[i]);
        }
        return outcome_;
    }

private:
    struct MadeFolder {
        std::string Root;
        std::vector<std::string> Parts;
        std::string Path;
        std::uint16_t Mode = 0;
        cf::CatalogTime Modified;
    };

    // A link of the catalog, made under a temporary name in its folder and renamed into place
    // (or beside a name that is taken), with its own time.
    void RestoreLink(const CabinetEntry& entry, const std::string& target) {
        Failure failure;
        std::optional<RestorePlace> place =
            options_.Place ? options_.Place(entry) : RestorePlace{folder_, entry.StoredName};
        std::string reason;
        std::vector<std::string> parts;
        if (!place) {
            failure = {RestoreFailure::Unplaced, 0, reasons::NoPlaceKnown()};
        } else if ((parts = SafeNameParts(place->Name, reason)).empty()) {
            failure = {RestoreFailure::Refused, 0, reason};
        } else if (const int root = folders_.Root(place->Folder, failure); root >= 0) {
            parent_ = folders_.Open(root, place->Folder, parts, failure);
            if (parent_ >= 0) {
                target_ = parts.back();
                if (Placeable(failure) && CreateLink(target, failure)) {
                    CommitLink(entry, failure);
                    if (failure.Text.empty()) {
                        ++outcome_.Restored;
                        return;
                    }
                    ::unlinkat(parent_, temporaryName_.c_str(), 0);
                }
            }
        }
        if (failure.Kind != RestoreFailure::Refused)
            failure.Text = reasons::NotRestored(failure.Text);
        Fail(entry.Name, failure);
    }

    // Makes a temporary with `make` under a fresh name, the next one while a name is taken
    // (EEXIST); the name is kept for putting it in place.
    template <typename Make> bool CreateUnderFreshName(Make make, Failure& failure) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = NextTemporaryName();
            if (make(name)) {
                temporaryName_ = name;
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        failure = {RestoreFailure::WriteFailed, errno, reasons::NotCreated(errno)};
        return false;
    }

    bool CreateLink(const std::string& target, Failure& failure) {
        return CreateUnderFreshName(
            [&](const std::string& name) {
                return ::symlinkat(target.c_str(), parent_, name.c_str()) == 0;
            },
            failure);
    }

    void CommitLink(const CabinetEntry& entry, Failure& failure) {
        const struct timespec times[2] = {TimeOf(entry.Recorded->Modified),
                                          TimeOf(entry.Recorded->Modified)};
        ::utimensat(parent_, temporaryName_.c_str(), times, AT_SYMLINK_NOFOLLOW);
        PutInPlace(failure);
    }

    static struct timespec TimeOf(const cf::CatalogTime& time) {
        return {static_cast<time_t>(time.Seconds), static_cast<long>(time.Nanoseconds)};
    }

    std::string NextTemporaryName() {
        char name[64];
        std::snprintf(name, sizeof name, ".ostrivane-restore-%d-%u.tmp",
                      static_cast<int>(::getpid()), nextTemporary_++);
        return name;
    }

    bool Selected(const CabinetEntry& entry) {
        bool selected = options_.Patterns.empty();
        for (std::size_t i = 0; i < options_.Patterns.size(); ++i) {
            if (NameMatches(entry.Name, options_.Patterns[i])) {
                matched_[i] = true;
                selected = true;
            }
        }
        return selected && (!options_.Select || options_.Select(entry));
    }

    // The folder and the temporary file of `entry`; false with `failure` set.
    bool Prepare(const CabinetEntry& entry, Failure& failure) {
        std::optional<RestorePlace> place =
            options_.Place ? options_.Place(entry) : RestorePlace{folder_, entry.StoredName};
        if (!place) {
            failure = {RestoreFailure::Unplaced, 0, reasons::NoPlaceKnown()};
            return false;
        }
        std::string reason;
        const std::vector<std::string> parts = SafeNameParts(place->Name, reason);
        if (parts.empty()) {
            failure = {RestoreFailure::Refused, 0, reason};
            return false;
        }
        const int root = folders_.Root(place->Folder, failure);
        if (root < 0)
            return false;
        parent_ = folders_.Open(root, place->Folder, parts, failure);
        if (parent_ < 0)
            return false;
        target_ = parts.back();
        if (!Placeable(failure))
            return false;
        // A file that may hold the entry already is compared first; the temporary file is made
        // only when it differs.
        if (taken_ && options_.LeaveIdentical &&
            same_.Begin(parent_, target_, entry.Size, entry.Date, entry.Time))
            return true;
        return CreateTemporary(failure);
    }

    // The temporary file of an entry compared so far, with the bytes found equal copied from the
    // existing file; writeError_ is set when it cannot be had.
    void WriteFromEqualPart() {
        Failure failure;
        if (!CreateTemporary(failure)) {
            writeError_ = failure.Error != 0 ? failure.Error : EIO;
            return;
        }
        writeError_ = same_.CopyEqualPart(temporary_.Get());
    }

    // Whether the name may be taken: free, held by a file that may be replaced, or to be
    // written beside.
    bool Placeable(Failure& failure) {
        struct stat info {};
        taken_ = ::fstatat(parent_, target_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
        if (!taken_ || options_.BesideName)
            return true;
        if (!options_.Overwrite) {
            failure = {RestoreFailure::Kept, EEXIST, reasons::FileKept()};
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            failure = {RestoreFailure::Kept, EISDIR, reasons::FolderInTheWay()};
            return false;
        }
        return true;
    }

    // The temporary file is its user's alone until it is whole; it gets its mode at the end.
    bool CreateTemporary(Failure& failure) {
        return CreateUnderFreshName(
            [&](const std::string& name) {
                const int fd = ::openat(parent_, name.c_str(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
                if (fd < 0)
                    return false;
                temporary_.Reset(fd);
                return true;
            },
            failure);
    }

    // The mode a restored file gets: the catalog's permission bits (never set-user-ID,
    // set-group-ID or sticky), or for a cabinet without a catalog, read-only and executable from
    // its attributes within the umask.
    static mode_t ModeOf(const CabinetEntry& entry) {
        if (entry.Recorded != nullptr)
            return entry.Recorded->Mode & 0777;
        mode_t mode = (entry.Attributes & cf::kAttrReadOnly) ? 0444 : 0666;
        if (entry.Attributes & cf::kAttrExecute)
            mode |= 0111;
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mode & ~mask;
    }

    // Mode and times, then the rename into place (or beside); `failure` is left empty when it
    // is there.
    void Commit(const CabinetEntry& entry, Failure& failure) {
        struct timespec times[2] = {};
        if (entry.Recorded != nullptr) {
            times[1] = TimeOf(entry.Recorded->Modified);
            times[0] = times[1];
            ::futimens(temporary_.Get(), times);
        } else if (const auto modified = ostrivane::fs::TimeOfDosDateTime(entry.Date, entry.Time)) {
            times[1].tv_sec = *modified;
            times[0] = times[1];
            ::futimens(temporary_.Get(), times);
        }
        if (::fchmod(temporary_.Get(), ModeOf(entry)) != 0 || ::close(temporary_.Release()) != 0) {
            failure = {RestoreFailure::WriteFailed, errno, reasons::NotWritten(errno)};
            return;
        }
        PutInPlace(failure);
    }

    // The temporary file (or link) renamed into place, or beside a name that is taken.
    void PutInPlace(Failure& failure) {
        if (options_.Overwrite) {
            if (::renameat(parent_, temporaryName_.c_str(), parent_, target_.c_str()) != 0)
                failure = {RestoreFailure::WriteFailed, errno, reasons::NotPutInPlace(errno)};
            return;
        }
        int error = taken_ ? EEXIST : RenameWithoutReplacing(parent_, temporaryName_, target_);
        for (int attempt = 1;
             error == EEXIST && options_.BesideName && attempt <= kMostBesideAttempts; ++attempt) {
            const std::string beside = options_.BesideName(target_, attempt);
            if (beside.empty() || beside.find('/') != std::string::npos)
                break;
            error = RenameWithoutReplacing(parent_, temporaryName_, beside);
            if (error == 0)
                ++outcome_.Beside;
        }
        if (error == EEXIST)
            failure = {RestoreFailure::Kept, EEXIST, reasons::FileKept()};
        else if (error != 0)
            failure = {RestoreFailure::WriteFailed, error, reasons::NotPutInPlace(error)};
    }

    void Fail(const std::string& name, const Failure& failure) {
        ++outcome_.Failed;
        if (problem_)
            problem_({name, failure.Kind, failure.Error, failure.Folder, failure.Text});
    }

    const std::string& folder_;
    const RestoreOptions& options_;
    const std::function<void(const RestoreProblem&)>& problem_;
    FolderWalk folders_;
    std::vector<bool> matched_;
    RestoreOutcome outcome_;
    int parent_ = -1;
    std::string target_;
    bool taken_ = false; // the target's name was taken when the file was begun
    SameContent same_;
    UniqueFd temporary_;
    std::string temporaryName_;
    unsigned nextTemporary_ = 0;
    int writeError_ = 0;
    std::uint64_t written_ = 0;
    std::vector<MadeFolder> madeFolders_;
};

} // namespace

RestoreOutcome RestoreCabinetSet(const std::vector<std::string>& parts, const std::string& folder,
                                 const RestoreOptions& options,
                                 const std::function<void(const RestoreProblem&)>& problem) {
    Restorer restorer(folder, options, problem);
    if (!options.Place) {
        // One folder for every file: when it cannot be had, nothing can be restored.
        if (const int error = ReadyFolder(folder); error != 0) {
            const Failure failure = FolderFailure(folder, error);
            RestoreOutcome outcome;
            outcome.Failed = 1;
            if (problem)
                problem({folder, failure.Kind, failure.Error, failure.Folder, failure.Text});
            return outcome;
        }
    }
    if (!ReadCabinetSet(parts, restorer, options.KeepGoing, options.Decoder))
        restorer.Abandon();
    restorer.FinishFolders();
    return restorer.Outcome();
}
