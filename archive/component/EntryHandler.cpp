// The component's entry handler for the scanner: stored names, the exclude list, the engine's
// own files, duplicates, files too large for a cabinet, and the append to the entry list.
#include "archive/component/TCompBase.h"
#include "archive/naming/ArchiveNames.h"
#include "archive/scan/TvrkFileScan.h"
#include "platform/fs/DosDateTime.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"

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

    if (!isFolder)
        SetStoredName(fullPath);
    else if (StoreEmptyDirs)
        SetStoredName(fullPath.back() == '/' ? fullPath : fullPath + "/");
    else
        CurrentEntry.StoredName = fullPath;

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
    info.ModifiedSeconds = static_cast<std::int64_t>(data.LastWriteTime.tv_sec);
    info.ModifiedNanoseconds = static_cast<std::uint32_t>(data.LastWriteTime.tv_nsec);
    info.Mode = data.Mode;
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
    // Folders alone are nothing to back up.
    entriesFound_ = entriesFound_ || !isFolder;
}

void TCompBase::AddGroupFolder(TCompHeaderObj& entries) {
    std::string folder = GroupRoot;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    struct stat st {};
    if (folder == "/" || folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    TFindData data;
    data.Name = ostrivane::fs::NameOf(folder);
    data.Attributes = ostrivane::fs::AttributesFromMode(st.st_mode, data.Name);
    data.LastWriteTime = st.st_mtim;
    data.Mode = static_cast<std::uint16_t>(st.st_mode & 07777);
    data.Device = static_cast<std::uint64_t>(st.st_dev);
    data.Inode = static_cast<std::uint64_t>(st.st_ino);
    // Named by the group's own folder with its "/", so that nothing of its path lies below it.
    AddScannedEntry(GroupRoot, data, entries);
}
