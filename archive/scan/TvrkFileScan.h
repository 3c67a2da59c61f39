// The file scanner: groups file specifications by folder, walks the folders, applies the
// attribute filters and wildcard masks, and hands every accepted directory entry to a handler.
#pragma once

#include "archive/model/ArchiveTypes.h"
#include "archive/model/TComponent.h"
#include "archive/scan/ExclusionPatterns.h"
#include "archive/scan/TInternalMask.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

enum TvrkSortOptions : std::uint8_t { soUnsort, soByName, soByType, soBySize, soByTime };
enum TfsScanOptions : std::uint8_t { soScanDir, soScanDrvs };

// What the walk knows of one directory entry (the counterpart of the find-data record). For a
// symbolic link to a regular file every field but Name describes the target, unless links are
// kept as links (KeepLinks): then the link itself, with fs::kAttrLink.
struct TFindData {
    std::string Name;             // bare name
    std::uint32_t Attributes = 0; // mapped attribute bits (0x10 folder, 0x01, 0x20, 0x02)
    std::uint64_t Size = 0;
    std::timespec LastWriteTime{}; // UTC
    std::uint16_t Mode = 0;        // permission bits (st_mode & 07777)
    std::uint64_t Device = 0;      // identity of the file itself
    std::uint64_t Inode = 0;
    std::uint64_t DirDevice = 0; // identity of the folder holding the entry
    std::uint64_t DirInode = 0;
    bool IsDirectory() const { return Attributes & 0x10; }
};

// One record of the scanner's own list.
struct TFileObject {
    std::string FileName; // no folder; empty for a folder entry
    std::string Folder;   // file: folder with trailing "/"; folder entry: its full path
    std::uint32_t SizeLow = 0;
    std::uint32_t SizeHigh = 0;
    std::uint32_t Attributes = 0;
    std::uint32_t DosDateTime = 0; // last-write time, local time
};
using TFilesList = std::vector<TFileObject>;

class TvrkFileScan : public TComponent {
public:
    // (folder text, entry, user pointer): for a file the folder being walked with its trailing
    // "/"; for a folder entry the folder's own full path without trailing "/".
    using EntryHandler = std::function<void(const std::string&, const TFindData&, void*)>;

    explicit TvrkFileScan(TComponent* owner = nullptr);

    // Runs one whole scan over FileSpec (or the single mask string); ends with OnFinished. Clears
    // the scanner's own cancel flag first.
    virtual void Scan();
    // Sets the cancel flag the scan tests before every step.
    virtual void Stop();
    // Walks `dir` (soScanDir) or every drive root (soScanDrvs; here "/" alone).
    virtual void ScanRoot(const std::string& dir, std::uint32_t attrMask,
                          const TMaskCollection& masks);
    // The default entry handler: appends a TFileObject to the own list.
    virtual void AddFileObject(const std::string& dir, const TFindData& data, void* user);

    // Properties.
    TvrkSortOptions Sorted() const { return sorted_; }
    void SetSorted(TvrkSortOptions value);
    const std::vector<std::string>& FileSpec() const { return fileSpec_; }
    void SetFileSpec(const std::vector<std::string>& lines); // copies, empties the mask string
    TvrkFileAttrs Attributes = {fsArchive};
    TvrkFileAttrs AttributesEx = {};
    bool IncludeHiddenDirs = false;
    bool UpdateList = true;
    TfsScanOptions ScanOptions = soScanDir;
    const std::string& RootDir() const { return rootDir_; }
    void SetRootDir(const std::string& value); // appends "/" when missing
    bool RecurseDirs = true;
    // Symbolic links whose names a mask selects are handed on as links (fs::kAttrLink, the
    // link's own time, size 0), whatever they point to, instead of as the regular file they
    // lead to.
    bool KeepLinks = false;
    // The single comma-separated mask string of the own mode ("*" by default).
    std::string MaskString = "*";
    // Files and folders left out, by their paths relative to the folder being scanned: an
    // excluded file is not looked at, an excluded folder not entered.
    ostrivane::scan::ExclusionPatterns Exclusions;

    std::function<void(TComponent*, const std::string& fileName, int filesCount, double filesSize)>
        OnScanFile;
    std::function<void(TComponent*, int filesCount, double filesSize)> OnFinished;
    std::function<void(TComponent*, const std::string& dir)> OnRootDirChange;
    std::function<void(TComponent*, const std::string& directory)> OnRecurseDir;
    // A folder that exists but cannot be read (no permission, for example): its files cannot
    // be taken, and whoever runs the scan should say so. `error` is the errno value. An entry
    // that cannot be looked at or followed (a link into a folder that cannot be entered) is told
    // the same way, by its own path (without a trailing "/"), and the walk goes on past it.
    std::function<void(TComponent*, const std::string& directory, int error)> OnFolderUnreadable;
    // A subfolder walked that holds nothing at all (its full path without a trailing "/"), told
    // right after the folder itself was handed on.
    std::function<void(TComponent*, const std::string& directory)> OnEmptyFolder;

    // Run state.
    int FilesCount = 0;
    double FilesSize = 0.0; // sum of the full sizes of the files that passed a mask
    const TFilesList& FilesList() const { return files_; }

    // The cancel flag is reached through this pointer; by default the scanner's own flag. A flag
    // pointed at (the component's, which another thread may set) is its owner's to clear.
    void SetCancelFlag(std::atomic<bool>* flag) { cancel_ = flag ? flag : &ownCancel_; }
    bool Cancelled() const { return *cancel_; }

    // Replaces the entry handler (nullptr restores AddFileObject) and the user pointer.
    void SetEntryHandler(EntryHandler handler, void* user);

    // Called after every directory entry (a front end running the scan on its user interface's
    // thread processes its events there).
    std::function<void()> ProcessMessages;

private:
    void ScanSpecifications();
    void ScanMaskString();
    // False when the folder held no entry at all.
    bool WalkFolder(int dirFd, const std::string& dir, const TMaskCollection& masks);
    void HandOn(const std::string& dir, const TFindData& data);
    // Whether the entry `name` (a directory entry type) of the folder `dir` is excluded.
    bool Excluded(const std::string& dir, const std::string& name, unsigned char type) const;
    void ReportUnreadable(const std::string& dir, int error);
    void SortOwnList();

    TvrkSortOptions sorted_ = soUnsort;
    std::vector<std::string> fileSpec_;
    std::string rootDir_ = "/";
    std::string walkRoot_; // the folder ScanRoot walks, with its trailing "/"
    std::atomic<bool> ownCancel_{false};
    std::atomic<bool>* cancel_ = &ownCancel_;
    EntryHandler handler_;
    void* user_ = nullptr;
    TFilesList files_;
};
