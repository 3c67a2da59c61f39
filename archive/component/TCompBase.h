// The compress driver shared by every archive class: Compress (prepare, disk check, run), the
// scan-and-write loop that expands FileSpec into the entry list and hands each entry to
// CompressFile, and the component's entry handler for the scanner.
#pragma once

#include "archive/component/TCompHeaderObj.h"
#include "archive/component/TZipCommon.h"
#include "archive/model/TStream.h"
#include "archive/scan/TInternalMask.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct TFindData;

class TCompBase : public TZipCommon {
public:
    explicit TCompBase(TComponent* owner = nullptr) : TZipCommon(owner) {}

    // --- Virtual operations, in slot order ---
    // Builds the archive; the base version runs the scan-and-write loop without streams.
    virtual void ExecuteCompress(TCompHeaderObj& entries);
    virtual bool ReadEntry() { return false; }
    // Renames an entry of an existing archive; nothing here.
    virtual void RenameEntry(TCompHeaderObj& entries, int index) { (void)entries, (void)index; }
    virtual void EmptyHook1() {}
    virtual void EmptyHook2() {}
    virtual void EmptyHook3() {}
    // Adds entry `index`; `done` tells the driver whether it counts as added.
    virtual void CompressFile(TStream* stream, int index, bool& done, TCompHeaderObj& entries);
    // Copies date-time, size and attributes into an entry header block; nothing here.
    virtual void PutEntryInfo(std::uint8_t* header, const TEntryInfo& info) {
        (void)header, (void)info;
    }
    virtual void AllEntriesDeleted() {}
    virtual void CompressData() {}
    virtual void EndCompressData() {}
    virtual bool ReadFirstHeader() { return false; }
    // Bytes of the per-entry header block; 0 here (no entries are listed then).
    virtual int GetHeadSize() { return 0; }
    virtual int GetHeadSizeEx() { return 0; }
    virtual bool ReadNextHeader() { return false; }
    // The component's header buffer (GetHeadSize bytes), or nullptr.
    virtual std::uint8_t* GetHeadPtr() { return nullptr; }
    virtual bool ReadHeader() { return false; }
    virtual void LoadArchiveEntries() {}
    virtual void FurtherHook1() {}
    virtual void FurtherHook2() {}
    // Completes an archive after the entry walk; nothing here.
    virtual void FinishArchive() {}
    virtual void EmptyHook4() {}
    // Operations this archive class does not support: report 25243 and return false.
    virtual bool UnsupportedHook1();
    virtual bool UnsupportedHook2();
    virtual bool UnsupportedHook3();
    // Writes the archive's closing records; true here.
    virtual bool WriteArchiveEnd() { return true; }
    // Copies date-time, size and attributes out of a header block (into `info` and the
    // current-entry state); nothing here.
    virtual void GetEntryInfo(const std::uint8_t* header, int kind, TEntryInfo& info) {
        (void)header, (void)kind, (void)info;
    }
    virtual bool CopyEntry() { return false; }
    // Builds the archive; the number of files added (removed in omDelete), 0 when refused.
    virtual int Compress();
    virtual bool UnsupportedHook4();
    virtual bool UnsupportedHook5();

    // --- Events ---
    std::function<void(TComponent*)> OnActivate;
    std::function<void(TComponent*)> OnDeactivate;
    std::function<void(TComponent*, const std::string& fileName, int count, bool& extract)> OnBegin;
    std::function<void(TComponent*, const std::string& fileName, bool crcPass)> OnEnd;
    std::function<void(TComponent*, const std::string& fileName, int count, int maxCount)>
        OnDeleteFile;
    std::function<void(TComponent*, int offset, int filenum)> OnRead;
    std::function<void(TComponent*, const std::string& fileName, const std::string& newFileName,
                       TDateTime date, TDateTime newDate, std::uint32_t fileSize,
                       std::uint32_t newFileSize, int attr, int newAttr, bool& replace)>
        OnReplaceFile;
    std::function<void(TComponent*, const std::string& fileName, std::string& newFileName)>
        OnRenameFile;

    // Number of files removed in omDelete (never used by cabinet builds).
    int FilesRemoved = 0;

protected:
    // Run-state reset, disk check and DefaultDir settlement; false refuses the run.
    bool Prepare();
    // Creates the lists, calls ExecuteCompress, frees the lists; exceptions give 0.
    int Run();
    // The scan-and-write loop: scans FileSpec into `entries` (unless omDelete), then walks the
    // entries calling CompressFile. ExecuteCompress calls it once; cabinets pass no streams.
    void ScanAndWriteEntries(TStream* output, TStream* work, TCompHeaderObj& entries);
    // The component's entry handler, installed on the scanner by ScanAndWriteEntries.
    void AddScannedEntry(const std::string& dir, const TFindData& data, TCompHeaderObj& entries);
    // Sets CurrentEntry's date-time, size and attributes from `info` (for GetEntryInfo).
    void SetCurrentEntryInfo(const TEntryInfo& info);
    // Called between the scan and the entry walk, once entries were found: their number, groups
    // and total size (ArchiveBytesTotal) are known and nothing is written yet, so that what the
    // entries go into can be opened to fit them. False ends the build before any entry is
    // written. True here.
    virtual bool EntriesScanned(TCompHeaderObj& entries) { return (void)entries, true; }
    // Files of this size or more cannot go into the archive; none here.
    virtual std::uint64_t FileSizeLimit() const { return UINT64_MAX; }

private:
    // Learns the identity of the archive's folder and of its series' folder before a scan.
    void PrepareOwnArchiveLookup();
    // True for the files a backup to the archive writes or keeps in its folder (the archive, its
    // copies, the parts of their sets, the archives named after the date and time, the temporary
    // files of a run), and for the archive itself wherever it is reached.
    bool IsArchiveOrSeries(const TFindData& data) const;
    // True when an ExcludeSpec line, turned by the stored-name rule, matches `storedName`.
    bool Excluded(const std::string& storedName);
    void SettleDefaultDir();
    // Called when a group of the scan ends: when one of its stored names repeats a name of an
    // earlier group (two source folders with the same last name), the group gets a folder part
    // of its own in GroupNameParts; then its names join those of the cabinet.
    void SettleGroupNames(const TCompHeaderObj& entries);
    bool IsFolderEntry(const TCompHeaderObj& entries, int index);
    // The hash of entry `index`'s stored name with the group folder part `part`.
    static std::uint64_t StoredNameHash(const TCompHeaderObj& entries, int index,
                                        std::string_view part);
    // The folder of the group that begins (GroupRoot) as an entry of its own.
    void AddGroupFolder(TCompHeaderObj& entries);

    bool entriesFound_ = false;
    bool movePass_ = false;
    bool specHadSeveralLines_ = false;
    std::uint64_t archiveDirDev_ = 0, archiveDirIno_ = 0;
    bool archiveDirKnown_ = false;
    std::uint64_t archiveDev_ = 0, archiveIno_ = 0;
    bool archiveKnown_ = false;
    // The groups already settled (their entries and stored folder part), and the hashes of
    // their files' stored names, sorted, for those of them hashed so far.
    struct SettledGroup {
        int First = 0;
        int End = 0;
        std::string Part;
    };
    std::vector<SettledGroup> settledGroups_;
    std::size_t hashedGroups_ = 0;
    std::vector<std::uint64_t> storedHashes_;
    int groupFirstEntry_ = 0; // first entry of the group being scanned
    std::string excludeRoot_; // GroupRoot the compiled exclude masks belong to
    std::vector<TInternalMask> excludeMasks_;
    bool excludeCompiled_ = false;
    std::set<std::string> reportedTooLarge_; // too large files already reported in this run
    double tooLargeBytes_ = 0.0;             // their bytes, kept out of the progress total
};
