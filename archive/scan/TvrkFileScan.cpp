// The file scanner: FileSpec groups, mask folding, the folder walk and the own list.
#include "archive/scan/TvrkFileScan.h"

#include "platform/fs/DosDateTime.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"
#include "platform/text/TextTrim.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

namespace {

// Owns a directory stream (and with it the descriptor it was opened from).
class DirStream {
public:
    explicit DirStream(int fd) : dir_(fd >= 0 ? ::fdopendir(fd) : nullptr) {
        if (fd >= 0 && !dir_)
            ::close(fd);
    }
    ~DirStream() {
        if (dir_)
            ::closedir(dir_);
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

void FillFromStat(TFindData& data, const struct stat& st) {
    data.Attributes = ostrivane::fs::AttributesFromMode(st.st_mode, data.Name);
    data.Size = static_cast<std::uint64_t>(st.st_size);
    data.LastWriteTime = st.st_mtim;
    data.Mode = static_cast<std::uint16_t>(st.st_mode & 07777);
    data.Device = static_cast<std::uint64_t>(st.st_dev);
    data.Inode = static_cast<std::uint64_t>(st.st_ino);
}

std::string Extension(const std::string& name) {
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// A folder that holds a valid cache directory tag (a file CACHEDIR.TAG beginning with the
// signature of the Cache Directory Tagging convention) keeps data its program can make again:
// it is not entered when subfolders are walked.
bool IsTaggedCache(int folderFd) {
    constexpr std::string_view kSignature = "Signature: 8a477f597d28d172789f06886806bc55";
    const int tag =
        ::openat(folderFd, "CACHEDIR.TAG", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (tag < 0)
        return false;
    char head[kSignature.size()];
    const ssize_t read = ::read(tag, head, sizeof head);
    struct stat st {};
    const bool regular = ::fstat(tag, &st) == 0 && S_ISREG(st.st_mode);
    ::close(tag);
    return regular && read == static_cast<ssize_t>(sizeof head) &&
           std::string_view(head, sizeof head) == kSignature;
}

} // namespace

TvrkFileScan::TvrkFileScan(TComponent* owner) : TComponent(owner) {}

void TvrkFileScan::SetFileSpec(const std::vector<std::string>& lines) {
    fileSpec_ = lines;
    MaskString.clear();
}

void TvrkFileScan::SetRootDir(const std::string& value) {
    rootDir_ = value;
    if (!rootDir_.empty() && rootDir_.back() != '/')
        rootDir_ += '/';
}

void TvrkFileScan::SetEntryHandler(EntryHandler handler, void* user) {
    handler_ = std::move(handler);
    user_ = user;
}

void TvrkFileScan::Stop() {
    *cancel_ = true;
}

void TvrkFileScan::Scan() {
    files_.clear();
    FilesCount = 0;
    FilesSize = 0.0;
    ownCancel_ = false;
    if (!MaskString.empty())
        ScanMaskString();
    else
        ScanSpecifications();
    if (OnFinished)
        OnFinished(this, FilesCount, FilesSize);
}

void TvrkFileScan::ScanSpecifications() {
    for (std::size_t i = fileSpec_.size(); i-- > 0;)
        if (ostrivane::text::TrimBlanks(fileSpec_[i]).empty())
            fileSpec_.erase(fileSpec_.begin() + static_cast<std::ptrdiff_t>(i));

    // Every line's folder in its plain spelling, so that lines naming one folder in different
    // ways join one group and the stored names are formed from a clean path.
    for (std::string& line : fileSpec_) {
        std::string folder = ostrivane::fs::FolderPartOf(line);
        if (folder.empty())
            folder = rootDir_;
        line = ostrivane::fs::PlainFolder(folder) + ostrivane::fs::NameOf(line);
    }

    while (!fileSpec_.empty() && !*cancel_) {
        const std::string first = fileSpec_.front();
        const std::string folder = ostrivane::fs::FolderPartOf(first);

        // Lines of the same folder (compared exactly: the file system is case-sensitive) join
        // the group; a mask covered by one already listed adds nothing, a broader one
        // replaces the narrower.
        std::vector<std::string> masks{ostrivane::fs::NameOf(first)};
        std::vector<std::string> remaining;
        for (std::size_t i = 1; i < fileSpec_.size(); ++i) {
            const std::string& line = fileSpec_[i];
            if (ostrivane::fs::FolderPartOf(line) != folder) {
                remaining.push_back(line);
                continue;
            }
            std::string name = ostrivane::fs::NameOf(line);
            bool placed = false;
            for (std::string& mask : masks) {
                if (MaskMatches(mask, name)) {
                    placed = true;
                    break;
                }
                if (MaskMatches(name, mask)) {
                    mask = name;
                    placed = true;
                    break;
                }
            }
            if (!placed)
                masks.push_back(name);
        }

        TMaskCollection set;
        for (const std::string& mask : masks)
            set.Add(mask.empty() || mask == "*.*" ? std::string_view("*") : mask);

        if (OnRootDirChange)
            OnRootDirChange(this, folder);
        fileSpec_ = std::move(remaining);
        ScanRoot(folder, 0, set);
    }
}

void TvrkFileScan::ScanMaskString() {
    TMaskCollection set;
    std::string current;
    for (char c : MaskString) {
        if (c == ',') {
            if (!current.empty())
                set.Add(current);
            current.clear();
        } else if (c == ' ' && current.empty()) {
            continue;
        } else {
            current += c;
        }
    }
    if (!current.empty())
        set.Add(current);
    if (set.Count() > 0 && !rootDir_.empty() && ostrivane::fs::IsDirectory(rootDir_))
        ScanRoot(rootDir_, 0, set);
}

void TvrkFileScan::ScanRoot(const std::string& dir, std::uint32_t attrMask,
                            const TMaskCollection& masks) {
    (void)attrMask;
    // Without drive letters the "every drive" mode walks the one root.
    std::string root = ScanOptions == soScanDrvs ? std::string("/") : dir;
    walkRoot_ = root.empty() || root.back() == '/' ? root : root + '/';
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        ReportUnreadable(root, errno);
    WalkFolder(fd, root, masks);
}

void TvrkFileScan::ReportUnreadable(const std::string& dir, int error) {
    // A folder that is missing, or that turned into something else since it was listed, has
    // nothing to lose; one that is there but refuses to be read does.
    if (error == ENOENT || error == ENOTDIR || error == ELOOP)
        return;
    if (OnFolderUnreadable)
        OnFolderUnreadable(this, dir, error);
}

bool TvrkFileScan::Excluded(const std::string& dir, const std::string& name,
                            unsigned char type) const {
    if (Exclusions.Empty() || (type != DT_REG && type != DT_LNK && type != DT_DIR))
        return false;
    const std::string_view below =
        std::string_view(dir).substr(std::min(dir.size(), walkRoot_.size()));
    return Exclusions.Excludes(std::string(below) + name, type == DT_DIR);
}

void TvrkFileScan::HandOn(const std::string& dir, const TFindData& data) {
    if (!UpdateList)
        return;
    if (handler_)
        handler_(dir, data, user_);
    else
        AddFileObject(dir, data, user_);
}

// Walks one folder (`dirFd` open on it, owned here; `dir` ends with "/"). Subfolders are
// opened relative to their parent with O_NOFOLLOW, so a symbolic link is never descended into
// and path length never limits the walk. Only regular files (a link to one counts as its
// target, or with KeepLinks every link as itself) and real folders are handed on; FIFOs,
// sockets and devices are never opened.
bool TvrkFileScan::WalkFolder(int dirFd, const std::string& dir, const TMaskCollection& masks) {
    if (OnRecurseDir)
        OnRecurseDir(this, dir);
    DirStream stream(dirFd);
    if (!stream.get())
        return true;
    int fd = ::dirfd(stream.get());
    struct stat dirStat {};
    if (::fstat(fd, &dirStat) != 0)
        return true;
    bool heldAny = false;

    TFindData data;
    data.DirDevice = static_cast<std::uint64_t>(dirStat.st_dev);
    data.DirInode = static_cast<std::uint64_t>(dirStat.st_ino);
    // An entry that cannot be looked at (errno tells why). A folder that may be listed but not
    // entered shows its names and refuses everything else, its entries' own names included: told
    // once for the folder, since none of its files or folders can be taken, and its walk ends
    // (true). Otherwise the entry alone is told (a link into a folder that cannot be entered, a
    // read error) and the walk goes on with the folder's other entries.
    const auto cannotLookAt = [&](const char* name) {
        const int error = errno;
        struct stat own {};
        if (error == EACCES && ::fstatat(fd, name, &own, AT_SYMLINK_NOFOLLOW) != 0 &&
            errno == EACCES) {
            ReportUnreadable(dir, EACCES);
            return true;
        }
        ReportUnreadable(dir + name, error);
        return false;
    };
    while (!*cancel_) {
        errno = 0;
        const dirent* entry = ::readdir(stream.get());
        if (!entry)
            break;
        // Only the folder itself and its parent are passed over: names with a leading "." are
        // hidden files and folders like any other (settings, keys, mail), and are backed up.
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..")
            continue;
        heldAny = true;
        data.Name = entry->d_name;

        unsigned char type = entry->d_type;
        struct stat st {};
        bool statted = false;
        if (type == DT_UNKNOWN) {
            if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (cannotLookAt(entry->d_name))
                    break;
                continue;
            }
            statted = true;
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        if (Excluded(dir, data.Name, type))
            continue;

        if (type == DT_LNK && KeepLinks) {
            // A link is recorded as it is, whatever it leads to: never followed.
            if (masks.Matches(data.Name)) {
                const bool known =
                    statted || ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
                if (!known && cannotLookAt(entry->d_name))
                    break;
                if (known && S_ISLNK(st.st_mode)) {
                    FillFromStat(data, st);
                    data.Attributes = ostrivane::fs::kAttrLink | ostrivane::fs::kAttrArchive |
                                      (data.Attributes & ostrivane::fs::kAttrHidden);
                    data.Size = 0;
                    ++FilesCount;
                    if (OnScanFile)
                        OnScanFile(this, data.Name, FilesCount, FilesSize);
                    HandOn(dir, data);
                }
            }
        } else if (type == DT_REG || type == DT_LNK) {
            // The mask decides first: a file no mask selects is never looked at further.
            if (masks.Matches(data.Name)) {
                int flags = type == DT_LNK ? 0 : AT_SYMLINK_NOFOLLOW;
                const bool known =
                    (statted && type == DT_REG) || ::fstatat(fd, entry->d_name, &st, flags) == 0;
                if (!known && cannotLookAt(entry->d_name))
                    break;
                if (known) {
                    if (S_ISREG(st.st_mode)) {
                        FillFromStat(data, st);
                        if (Attributes.Passes(data.Attributes) &&
                            !AttributesEx.Passes(data.Attributes)) {
                            ++FilesCount;
                            FilesSize += static_cast<double>(data.Size);
                            if (OnScanFile)
                                OnScanFile(this, data.Name, FilesCount, FilesSize);
                            HandOn(dir, data);
                        }
                    }
                }
            }
        } else if (type == DT_DIR) {
            const bool known =
                statted || ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
            if (!known && cannotLookAt(entry->d_name))
                break;
            if (known) {
                if (S_ISDIR(st.st_mode)) {
                    FillFromStat(data, st);
                    if (Attributes.Passes(data.Attributes) && !AttributesEx.Passes(data.Attributes))
                        HandOn(dir + data.Name, data);
                    bool hidden = data.Attributes & ostrivane::fs::kAttrHidden;
                    if (RecurseDirs && (!hidden || IncludeHiddenDirs)) {
                        std::string name = data.Name; // `data` is reused by the recursion
                        int child = ::openat(fd, name.c_str(),
                                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                        if (child < 0)
                            ReportUnreadable(dir + name + "/", errno);
                        if (child >= 0 && IsTaggedCache(child))
                            ::close(child);
                        else if (!WalkFolder(child, dir + name + "/", masks) && child >= 0 &&
                                 OnEmptyFolder)
                            OnEmptyFolder(this, dir + name);
                        data.DirDevice = static_cast<std::uint64_t>(dirStat.st_dev);
                        data.DirInode = static_cast<std::uint64_t>(dirStat.st_ino);
                    }
                }
            }
        }
        if (ProcessMessages)
            ProcessMessages();
    }
    return heldAny;
}

void TvrkFileScan::AddFileObject(const std::string& dir, const TFindData& data, void* user) {
    (void)user;
    TFileObject object;
    if (data.IsDirectory()) {
        object.Folder = dir;
    } else {
        object.FileName = data.Name;
        object.Folder = dir;
    }
    object.SizeLow = static_cast<std::uint32_t>(data.Size & 0xFFFFFFFFu);
    object.SizeHigh = static_cast<std::uint32_t>(data.Size >> 32);
    object.Attributes = data.Attributes;
    object.DosDateTime = ostrivane::fs::DosDateTimeOf(data.LastWriteTime.tv_sec);
    files_.push_back(std::move(object));
}

void TvrkFileScan::SetSorted(TvrkSortOptions value) {
    sorted_ = value;
    SortOwnList();
    if (!files_.empty() && OnFinished)
        OnFinished(this, FilesCount, FilesSize);
}

void TvrkFileScan::SortOwnList() {
    auto size = [](const TFileObject& f) {
        return (static_cast<std::uint64_t>(f.SizeHigh) << 32) | f.SizeLow;
    };
    auto key = [&](const TFileObject& a, const TFileObject& b) {
        switch (sorted_) {
        case soByName:
            return a.Folder + a.FileName < b.Folder + b.FileName;
        case soByType:
            return Extension(a.FileName) < Extension(b.FileName);
        case soBySize:
            return size(a) < size(b);
        case soByTime:
            return a.DosDateTime < b.DosDateTime;
        case soUnsort:
            break;
        }
        return false;
    };
    if (sorted_ != soUnsort)
        std::stable_sort(files_.begin(), files_.end(), key);
}
