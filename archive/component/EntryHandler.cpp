// The component's entry handler for the scanner: stored names, the exclude list, the engine's
// own files, duplicates, files too large for a cabinet, and the append to the entry list.
#include "archive/component/TCompBase.h"
#include "archive/naming/ArchiveNames.h"
#include "archive/scan/TvrkFileScan.h"
#include "platform/fs/DosDateTime.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

namespace {

bool StatIdentity(const std::string& path, std::uint64_t& dev, std::uint64_t& ino) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    dev = static_cast<std::uint64_t>(st.st_dev);
    ino = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// A folder is empty when it holds no files; subfolders do not count.
bool FolderHoldsNoFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return true;
    bool empty = true;
    while (const dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(st.st_mode)) {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

} // namespace

void TCompBase::PrepareOwnArchiveLookup() {
    reportedTooLarge_.clear();
    tooLargeBytes_ = 0.0;
    excludeCompiled_ = false;
    archiveDirKnown_ =
        StatIdentity(ostrivane::names::FolderOf(archiveFile_), archiveDirDev_, archiveDirIno_);
    archiveKnown_ = StatIdentity(archiveFile_, archiveDev_, archiveIno_);
}

bool TCompBase::IsArchiveOrSeries(const TFindData& data) const {
    if (archiveKnown_ && data.Device == archiveDev_ && data.Inode == archiveIno_)
        return true;
    if (!archiveDirKnown_ || data.DirDevice != archiveDirDev_ || data.DirInode != archiveDirIno_)
        return false;
    return ostrivane::names::IsBackupFile(data.Name, archiveFile_);
}

bool TCompBase::Excluded(const std::string& storedName) {
    if (excludeSpec_.empty())
        return false;
    if (!excludeCompiled_ || excludeRoot_ != GroupRoot) {
        excludeMasks_.clear();
        for (const std::string& line : excludeSpec_)
            excludeMasks_.emplace_back(StoredNameFor(storedDirNames_, line, GroupRoot, DefaultDir));
        excludeRoot_ = GroupRoot;
        excludeCompiled_ = true;
    }
    for (const TInternalMask& mask : excludeMasks_)
        if (mask.Matches(storedName))
            return true;
    return false;
}

void TCompBase::AddScannedEntry(const std::string& dir, const TFindData& data,
                                TCompHeaderObj& entries) {
    const bool isFolder = data.IsDirectory();
    const std::string fullPath = isFolder ? dir : dir + data.Name;

    if (!ExtensionList.empty()) {
        std::string ext = LowerAscii(isFolder ? std::string() : PathExtension(data.Name));
        if (std::find(ExtensionList.begin(), ExtensionList.end(), ext) != ExtensionList.end()) {
            if (OnExtensionExcluded)
                OnExtensionExcluded(this, fullPath);
            return;
        }
    }

    if (!isFolder) {
        SetStoredName(fullPath);
    } else if (!StoreEmptyDirs || FolderHoldsNoFiles(fullPath)) {
        CurrentEntry.StoredName = fullPath;
    } else {
        return;
    }

    // The archive being written, its numbered copies and the engine's temporary files never
    // go into the archive (a destination inside a source folder).
    if (!isFolder && (IsArchiveOrSeries(data) || IsOwnFile(fullPath, data.Device, data.Inode)))
        return;

    if (Excluded(CurrentEntry.StoredName))
        return;

    if (entries.Count() > 0) {
        if (entries.IndexOf(CurrentEntry.StoredName) >= 0)
            return;
        if (specHadSeveralLines_ && entries.IndexOf(fullPath) >= 0)
            return;
    }

    // A file larger than the archive can hold is left out and reported, before anything of it is
    // read.
    if (!isFolder && data.Size >= FileSizeLimit()) {
        if (reportedTooLarge_.insert(fullPath).second) {
            tooLargeBytes_ += static_cast<double>(data.Size);
            DoError(fullPath, "", kErrFileTooLarge, "0");
        }
        return;
    }

    TEntryInfo info;
    info.DosDateTime = ostrivane::fs::DosDateTimeOf(data.LastWriteTime.tv_sec);
    info.DateTime = DosDateToDateTime(info.DosDateTime);
    info.Size = data.Size;
    info.Attributes = data.Attributes;
    NewestDosDate = std::max(NewestDosDate, info.DosDateTime);

    if (OperationMode == omUpdate)
        return;
    int headSize = GetHeadSize();
    if (headSize == 0 || (isFolder && !StoreEmptyDirs))
        return;
    int index = entries.Add(fullPath, static_cast<int>(GroupRoot.size()), GetHeadPtr(),
                            static_cast<std::size_t>(headSize));
    if (std::uint8_t* header = entries.Header(index))
        PutEntryInfo(header, info);
    entriesFound_ = true;
}
