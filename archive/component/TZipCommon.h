// The common run state of archive components: cancel flag, error reporting, stored-name rule,
// attribute sets, file and exclude specifications, temporary folder, disk check, stopwatch and
// the application hooks.
#pragma once

#include "archive/component/TArchiveBase.h"
#include "archive/component/TDiskManager.h"
#include "archive/component/TvrkTimer.h"
#include "archive/model/ApplicationHooks.h"
#include "archive/model/E_RAISE.h"
#include "archive/model/ErrorCodes.h"
#include "archive/scan/ExclusionPatterns.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The entry being worked on (its stored name, number and what GetEntryInfo copied in).
struct TCurrentEntry {
    std::string StoredName; // result of SetStoredName
    int Number = 0;         // 1-based entry number
    TDateTime DateTime = 0.0;
    std::uint32_t DosDateTime = 0;
    std::uint64_t Size = 0; // uncompressed size
    std::uint64_t PackedSize = 0;
    std::uint32_t Attributes = 0;
    int MethodNumber = 0; // recorded by the cabinet component (0 Stored, 1 MsZIP, 2 Lzx, ...)
    std::string MethodName;
    std::string ArchiveName;
    std::uint32_t CRC = 0;
};

class TZipCommon : public TArchiveBase {
public:
    explicit TZipCommon(TComponent* owner = nullptr);

    // Application hooks (pending events, Yes/No and Retry/Cancel questions).
    TApplicationHooks Hooks;

    // --- Virtual operations, in slot order ---
    // Reads the cancel flag.
    virtual bool GetCancel();
    // Writes the cancel flag; setting True reports 25443 through DoError with the stored name.
    virtual void SetCancel(bool value);
    // Stream hooks of stream archives; unused by cabinets.
    virtual bool WriteData(const void* buffer, std::uint32_t size) {
        return (void)buffer, size == 0;
    }
    // Packed DOS date-time (date high 16 bits) to a date-time; 0 gives 1980-01-01 00:01.
    virtual TDateTime DosDateToDateTime(std::uint32_t dosDate);
    virtual bool WriteDataEx(const void* buffer, std::uint32_t size) {
        return (void)buffer, size == 0;
    }
    virtual std::string GetVolumeName(const std::string& path) { return (void)path, std::string(); }
    virtual std::uint32_t ReadData(void* buffer, std::uint32_t size) {
        return (void)buffer, (void)size, 0u;
    }
    // Empties the extension list.
    virtual void ClearExtensionList();
    // Computes CurrentEntry.StoredName from the full path `fileName` and GroupRoot.
    virtual void SetStoredName(const std::string& fileName);
    virtual void DecryptBuffer(void* buffer, std::uint32_t size) { (void)buffer, (void)size; }
    virtual void PostProcessArchive() {}
    // DoError, then (unless Cancel is set) throws E_RAISE with the text of the code.
    virtual void RaiseError(const std::string& fileName, int eCode, const std::string& volumeID,
                            const std::string& extendedMsg);
    // Fires OnError (25443 instead of eCode while Cancel is set) with the stopwatch paused.
    virtual void DoError(const std::string& fileName, const std::string& extendedMsg, int eCode,
                         const std::string& volumeID);

    // --- Properties ---
    TvrkFileAttrs Attributes() const { return attributes_; }
    void SetAttributes(TvrkFileAttrs value) { attributes_ = value; }
    TvrkFileAttrs AttributesEx() const { return attributesEx_; }
    void SetAttributesEx(TvrkFileAttrs value) { attributesEx_ = value; }
    // Adds (On) or removes one member of Attributes / AttributesEx.
    void SetAttribute(TvrkFileAttr attr, bool on);
    void SetAttributeEx(TvrkFileAttr attr, bool on);

    TCompressMethod CompressMethod() const { return compressMethod_; }
    // Takes only cmStore, cmMsZip, cmLzx, cmQuantum; any other value is ignored.
    void SetCompressMethod(TCompressMethod value);

    TDateAttribute DateAttribute() const { return dateAttribute_; }
    void SetDateAttribute(TDateAttribute value) { dateAttribute_ = value; }
    TDeleteOptions DeleteOptions() const { return deleteOptions_; }
    void SetDeleteOptions(TDeleteOptions value) { deleteOptions_ = value; }
    TStoredDirNames StoredDirNames() const { return storedDirNames_; }
    void SetStoredDirNames(TStoredDirNames value) { storedDirNames_ = value; }
    bool RecurseDirs() const { return recurseDirs_; }
    void SetRecurseDirs(bool value) { recurseDirs_ = value; }
    bool IncludeHiddenDirs() const { return includeHiddenDirs_; }
    void SetIncludeHiddenDirs(bool value) { includeHiddenDirs_ = value; }

    // One line per source: folder + "/" + mask. Assigning copies the lines.
    std::vector<std::string>& FileSpec() { return fileSpec_; }
    const std::vector<std::string>& FileSpec() const { return fileSpec_; }
    void SetFileSpec(const std::vector<std::string>& lines) { fileSpec_ = lines; }
    std::vector<std::string>& ExcludeSpec() { return excludeSpec_; }
    const std::vector<std::string>& ExcludeSpec() const { return excludeSpec_; }
    void SetExcludeSpec(const std::vector<std::string>& lines) { excludeSpec_ = lines; }
    // Patterns of files and folders the scan leaves out (ExclusionPatterns.h), each matched
    // against the path relative to its source folder.
    const ostrivane::scan::ExclusionPatterns& Exclusions() const { return exclusions_; }
    void SetExclusions(const std::vector<std::string>& patterns) {
        exclusions_ = ostrivane::scan::ExclusionPatterns(patterns);
    }

    // Read: an empty or vanished folder is replaced by (and stores) the system temp folder.
    std::string TempDir();
    // Write (not while loading): "" = system temp; "/" appended; a missing folder is created
    // after Hooks.ConfirmYesNo(folder + "\r\r" + "Directory does not exist... Create?") says
    // Yes, else emptied; empty or still missing gives the system temp folder.
    void SetTempDir(const std::string& value);

    // --- Cancellation ---
    // The cancel flag: set means stop as soon as possible. It may be set from any thread; the
    // scan, the driver and the library's callbacks test it. By default the component's own,
    // cleared when ArchiveFile is assigned and when Compress starts.
    std::atomic<bool>* CancelFlag() { return cancel_; }
    // Makes `flag` the cancel flag (nullptr: the component's own again), for a caller that
    // runs the component on a thread of its own and cancels it from another. That flag is its
    // owner's to clear before each run: the component never clears it, so that a cancel asked
    // for before the build reached its scan is not lost.
    void UseCancelFlag(std::atomic<bool>* flag);

    // --- Run state (reset by every Compress) ---
    TOperationMode OperationMode = omAdd;
    // Folders become entries too (each group's own folder and every folder walked below it, an
    // empty one marked with fs::kAttrEmptyFolder), so that a build can record them.
    bool StoreEmptyDirs = false;
    // Symbolic links become entries as links (fs::kAttrLink), never followed.
    bool StoreLinks = false;
    std::string GroupRoot; // folder of the group being scanned or written, trailing "/"
    // Stored-name folder parts that replace a group's last folder name (sdRelativeStoreStart),
    // by GroupRoot: given to a group whose names would repeat those of an earlier group.
    std::map<std::string, std::string> GroupNameParts;
    std::string DefaultDir; // base folder of the sdExplorer_* rules
    TCurrentEntry CurrentEntry;
    std::uint32_t FileBytesLeft = 0;
    double ArchiveBytesTotal = 0.0;
    double ArchiveBytesLeft = 0.0;
    int FilesAdded = 0;
    int FilesSkipped = 0;
    std::uint32_t NewestDosDate = 0;        // newest entry (daMaxFileDate)
    std::vector<std::string> ExtensionList; // lower-case extensions with dot; never filled here
    std::vector<std::string> MoveList;      // files to delete after a move (omMove)
    TvrkTimer Timer;
    TDiskManager DiskManager;

    // Applies DateAttribute to a DOS date-time taken from a source file.
    std::uint32_t ApplyDateAttribute(std::uint32_t dosDateTime) const;

    // Files of the engine's own (temporary files of a build) that the scan must never take
    // into the archive; cleared at the start of every build.
    void RegisterOwnFile(const std::string& path);
    void ClearOwnFiles();
    // True when `path` (or the file with identity dev/ino) is a registered own file.
    bool IsOwnFile(const std::string& path, std::uint64_t dev, std::uint64_t ino) const;

    // --- Events ---
    std::function<void(TComponent*, const std::string& fileName, const std::string& extendedMsg,
                       const std::string& volumeID, int eCode)>
        OnError;
    std::function<void(TComponent*, std::uint8_t progressByFile, std::uint8_t progressByArchive)>
        OnProgress;
    std::function<void(TComponent*, float elapsedTime)> OnElapsedTime;
    std::function<void(TComponent*, const std::string& fileName, int filesCount, double filesSize)>
        OnFileScanStatus;
    std::function<void(TComponent*, const std::string& directory)> OnRecurseDir;
    // Receives the full path of an entry left out by the extension list.
    std::function<void(TComponent*, const std::string& fileName)> OnExtensionExcluded;

    // Progress routine: Hooks.ProcessMessages, then OnProgress. The only source of OnProgress.
    void DoProgress(std::uint8_t byFile, std::uint8_t byArchive);

    // Disk check of the archive's file system; false after reporting 25170 / 25171.
    bool CheckArchiveDisk();

protected:
    // Clears the component's own flag; a flag handed in by UseCancelFlag stays as it is.
    void ClearCancelFlag() override;

    TvrkFileAttrs attributes_ = {fsZeroAttr, fsReadOnly, fsArchive};
    TvrkFileAttrs attributesEx_ = {};
    TCompressMethod compressMethod_ = cmMsZip;
    TDateAttribute dateAttribute_ = daFileDate;
    TDeleteOptions deleteOptions_ = doAllowUndo;
    TStoredDirNames storedDirNames_ = sdRelative;
    bool recurseDirs_ = true;
    bool includeHiddenDirs_ = false;
    std::vector<std::string> fileSpec_;
    std::vector<std::string> excludeSpec_;
    ostrivane::scan::ExclusionPatterns exclusions_;
    std::string tempDir_;

private:
    std::atomic<bool> cancelStore_{false};
    std::atomic<bool>* cancel_ = &cancelStore_;
    std::set<std::string> ownPaths_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> ownIds_;
};

// The stored name of `path` under `rule`, with "/" as the separator (see SetStoredName).
std::string StoredNameFor(TStoredDirNames rule, const std::string& path,
                          const std::string& groupRoot, const std::string& defaultDir);
