// The cabinet archive component: drives the FCI of libcabinet.so to write the archive as a
// Microsoft Cabinet file. It compresses nothing itself; the library reads the sources and writes
// the cabinet through the component's file handler and callbacks.
#pragma once

#include "archive/component/TCabInterface.h"
#include "cabinet/component/FolderProver.h"
#include "cabinet/component/SourceFolders.h"
#include "cabinet/component/TStreamCabinetFileHandler.h"
#include "cabinet/format/FileCatalog.h"
#include "cabinet/format/SetRecord.h"
#include "cabinet/format/SourceRecord.h"
#include "platform/cabformat/CabinetFormat.h"
#include "platform/fci/fci.h"
#include "platform/fs/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class TMakeCab : public TCabInterface {
public:
    // The component as the main window's form sets it up: atCab, cmMsZip, DefaultExt ".cab",
    // doAllowUndo, RecurseDirs off, TempDir "C:\WINDOWS\TEMP\" (read back, that stored value
    // gives way to the system's temporary folder).
    explicit TMakeCab(TComponent* owner = nullptr);
    ~TMakeCab() override;

    // --- Overrides ---
    // The whole cabinet build: checks, OnActivate, FCI context, scan and entry walk, flush,
    // destroy, OnElapsedTime, OnDeactivate. Never lets an exception out; errors go to OnError.
    void ExecuteCompress(TCompHeaderObj& entries) override;
    // Adds entry `index` to the cabinet. `stream` is not used.
    void CompressFile(TStream* stream, int index, bool& done, TCompHeaderObj& entries) override;
    // Always atCab; appends DefaultExt to an ArchiveFile without extension (not while loading).
    void SetArcType(TArcType value) override;
    void RenameEntry(TCompHeaderObj&, int) override {}
    void FinishArchive() override {}
    bool WriteArchiveEnd() override { return true; }
    // Counts the reports made while a file is being added, then reports as the base does.
    void DoError(const std::string& fileName, const std::string& extendedMsg, int eCode,
                 const std::string& volumeID) override;

    // --- New operations ---
    // Fires OnGetNextCabinet.
    virtual void DoGetNextCabinet(CCAB& ccab, std::string& newName, int prevSize, bool& abort);
    // A new temporary file in TempDir (registered as the engine's own file); Ok is false only
    // when no file could be made.
    virtual void GetTempFileName(std::string& name, bool& ok);
    // Opens a source file for the library: its attributes, DOS date and time and a handle.
    virtual void OpenSourceFile(const std::string& name, std::uint16_t& date, std::uint16_t& time,
                                std::uint16_t& attribs, std::int32_t& handle, int& err);

    // The answer of a backup to the library's request for a next cabinet (an OnGetNextCabinet
    // handler calls it): the next part of the archive, names::PartName(ArchiveFile(), k). A name
    // that is taken by anything but an earlier part of that name is refused and reported once, so
    // that no other file is ever written over.
    void AnswerWithNextPart(CCAB& ccab, std::string& newName, bool& abort);
    // The cabinet being written (the archive, or the part of a set the library is at), by the
    // name it has as a part of the archive.
    std::string CabinetBeingWritten() const;

    // --- Names of the cabinets ---
    // The path cabinet `part` (1 the first) of a build is written to. Unset, the archive itself
    // and its parts beside it (names::PartName). A backup run names them itself, so that the
    // archive and its earlier copies stay as they are until the new one is complete; reports
    // still name the cabinets after the archive.
    std::function<std::string(int part)> CabinetPath;

    // --- Events ---
    std::function<void(TComponent*, CCAB& cabParameters, std::string& newCabFileName,
                       int previousCabEstimatedSize, bool& abortCreation)>
        OnGetNextCabinet;
    std::function<void(TComponent*, const std::string& archiveFile, bool& writeToFile)>
        OnNonWriteableArchive;
    // While the written archive is read back: the share of the packed bytes checked so far,
    // 0-100, fired whenever it changes.
    std::function<void(TComponent*, std::uint8_t percent)> OnVerifyProgress;

    // --- Verification ---
    // After a cabinet is written and flushed to the disk it is read back and every file is
    // compared with a checksum of the bytes the library read while packing it; a difference is
    // reported as 25183 "Archive failed verification". On unless switched off (the command-line
    // front end's --no-verify).
    bool VerifyArchive = true;
    // What the build packed into one cabinet, for its read-back: the number of files, their
    // bytes, and the sum of a 64-bit hash of each file's stored name, size and the CRC-64 of the
    // bytes the library read (PackedDigest). Nothing is kept per file: the read-back takes the
    // files from the cabinet's own directory and catalog and sums them alike.
    struct PackedCabinet {
        std::uint32_t Files = 0;
        std::uint64_t Bytes = 0;
        std::uint64_t Digest = 0;
    };
    // One file's share of PackedCabinet::Digest; `crcKnown` false when its bytes were not read
    // in order, so that no CRC-64 of them could be taken.
    static std::uint64_t PackedDigest(std::string_view storedName, std::uint64_t size,
                                      std::uint64_t crc, bool crcKnown);
    // The folders of the build under way proved so far while the packing goes on (from any
    // thread); the read-back only checks that the cabinet holds the bytes proved of those.
    std::size_t FoldersProved() { return prover_.Count(); }
    // The last build's read-back: files found whole, and the seconds it took.
    int VerifiedFiles = 0;
    double VerificationSeconds = 0.0;

    // --- Outcome of the last build ---
    // The cabinets the library created, in their order (the parts of the set).
    const std::vector<std::string>& WrittenCabinets() const { return parts_; }
    // The bytes of the source files the library took.
    std::uint64_t PackedBytes() const;
    // True when the last build is a backup: at least one file was packed, every cabinet was
    // written and flushed to the disk, read back whole (with VerifyArchive), the build was not
    // cancelled and no write to the cabinets failed. Files left out (unreadable, too large,
    // changed while read) are reported but do not keep the archive from being one.
    bool BackupComplete() const { return backupComplete_; }

    // --- State ---
    // The handler the library's file callbacks go through; replaceable (for instance by a
    // handler that simulates failures) between builds.
    std::unique_ptr<TCabinetFileHandler> FileHandler;
    HFCI CabContext = nullptr;
    ERF CabError{};
    std::uint32_t FileBytesTotal = 0;
    std::uint8_t ProgressByFile = 0;
    std::uint8_t ProgressByArchive = 0;
    // The largest size of one cabinet of the set, 0x7FFFFFFF at most: a backup that does not fit
    // goes on in parts (when OnGetNextCabinet gives them).
    std::uint32_t PartSize = ostrivane::cabformat::kLargestCabinet;
    // The set ID every cabinet of the next build carries; 0 (the default) picks a new one that
    // no cabinet of the archive's series in its folder carries.
    std::uint16_t SetId = 0;
    // A new cabinet folder (a fresh MSZIP history, so that a damaged block costs only the files
    // of its folder) once the open one holds this many bytes or files; 0 keeps one folder per
    // cabinet. The defaults are the figures bench/cabinet chose; OSTRIVANE_FOLDER_BYTES and
    // OSTRIVANE_FOLDER_FILES override them for benchmarks.
    std::uint64_t FolderBytes = 0;
    std::uint32_t FolderFiles = 0;
    // The time the last build started: the backup's own time, kept in every cabinet's catalog.
    ostrivane::cabformat::CatalogTime Started;

protected:
    // After the scan: the folder for the library's temporary files, the record of the sources,
    // and the FCI context for the first cabinet. False (reported) when the library refused it.
    bool EntriesScanned(TCompHeaderObj& entries) override;
    void CreateCabContext(const std::string& cabFileName, const std::string& diskName,
                          std::uint16_t setID, std::uint32_t folderThreshold,
                          std::uint32_t maxCabinetSize);
    // True when the library took the file.
    bool AddFileToCabinet(const std::string& sourceFile, bool execute);
    // True when the library wrote the cabinet.
    bool FlushCabinet(bool getNextCab);
    void DestroyCabContext();

private:
    // The path cabinet `part` is written to, and the name it has as a part of the archive.
    std::string CabinetPathFor(int part) const;
    std::string ArchivePartName(int part) const;
    // The name a written cabinet is reported by: its name as a part of the archive.
    std::string ReportedName(const std::string& cabinet) const;
    // The groups of the scanned entries: each group's stored prefix and source folder.
    std::vector<ostrivane::cabformat::SourceGroup> SourceGroups(const TCompHeaderObj& entries);
    // TempDir, or the archive's folder when TempDir's file system has less free room than the
    // scanned files hold.
    std::string TempFolderWithRoom();
    // Writes every cabinet's set record into its header reserve, and the record of the sources
    // after it in the first one's.
    void RecordPlaces();
    // A source file as it was when opened; compared with the file after its last read, which is
    // reported as changed once the library took it (sourceChanged_ meanwhile).
    void NoteOpenedSource(std::int32_t handle, const std::string& name, std::int64_t size,
                          const std::timespec& modified, std::uint16_t mode);
    // False when the source is no regular file any more (a FIFO or a folder in its place).
    bool CheckSourceUnchanged(FCI_INT_PTR handle);

    // The checks before a build writes anything; false ends the build.
    bool ArchivePathAcceptable();
    bool ArchiveWritable();
    void ListExistingArchive();
    void ReportFailedAdd(const std::string& sourceFile);
    void ReportFailedFlush();
    void NotifyProgress();
    bool CancelCheck(int* err);

    // The checksum of the source being added, taken on the bytes its handle delivers; a seek
    // to the start (the library reads a file again when it moves it to a next cabinet) begins
    // it anew.
    void BeginSourceChecksum(std::int32_t handle);
    void NoteSourceRead(FCI_INT_PTR handle, const void* bytes, FCI_UINT count);
    void NoteSourceSeek(FCI_INT_PTR handle, long position, bool toStart);
    // Records the file just added with its checksum.
    void NotePackedFile(const std::string& storedName);
    // Whether the stored name `cabName` repeats one given to the library in this build.
    bool NameRepeats(const std::string& cabName);
    // After a successful flush: every part and its folder synced to the disk, then (with
    // VerifyArchive) read back and compared with what was packed, and every part's place in the
    // set checked.
    void SecureWrittenArchive();
    void VerifyWrittenArchive();

    static int FciFilePlaced(CCAB* ccab, char* file, long size, FCI_BOOL continuation, void* pv);
    static void* FciAlloc(FCI_ULONG cb);
    static void FciFree(void* memory);
    static FCI_INT_PTR FciOpen(char* file, int oflag, int pmode, int* err, void* pv);
    static FCI_UINT FciRead(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv);
    static FCI_UINT FciWrite(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv);
    static int FciClose(FCI_INT_PTR hf, int* err, void* pv);
    static long FciSeek(FCI_INT_PTR hf, long dist, int seektype, int* err, void* pv);
    static int FciDelete(char* file, int* err, void* pv);
    static FCI_BOOL FciGetTempFile(char* tempName, int cbTempName, void* pv);
    static FCI_BOOL FciGetNextCabinet(CCAB* ccab, FCI_ULONG cbPrevCab, void* pv);
    static long FciStatus(FCI_UINT typeStatus, FCI_ULONG cb1, FCI_ULONG cb2, void* pv);

    // --- The cabinet being filled: its folders, its size and its catalog ---
    // Starts a new folder when the open one is full (FolderBytes, FolderFiles) or the next file
    // of `size` bytes would take it far past.
    void NextFolderFor(std::uint64_t size);
    bool FlushFolder();
    // Completes the cabinet being filled, its catalog added, when an entry of `size` bytes with
    // a name of `nameBytes` (a file when `member`) and a catalog entry with a target of
    // `targetBytes` might not fit it: decided from the exact size of its closed folders and the
    // worst case of the rest, so that the library's own limit, the backstop, never splits.
    void MakeRoomFor(std::uint64_t size, std::size_t nameBytes, std::size_t targetBytes,
                     bool member);
    // Adds the catalog of the cabinet being filled as its last member, in a folder of its own.
    bool AddCatalogMember();
    // Records a folder or a link entry of the scan in the catalog.
    void RecordFolderOrLink(const std::string& fullName);
    void ForgetCabinet();
    static FCI_INT_PTR FciGetOpenInfo(char* name, FCI_USHORT* date, FCI_USHORT* time,
                                      FCI_USHORT* attribs, int* err, void* pv);

    CCAB ccab_{};
    // The folder of the library's temporary files in this build, and a lock held on each of
    // them from its creation until the library deletes it: a file of that kind that nobody
    // holds a lock on is left over from a process that ended without removing it.
    std::string tempFolder_;
    std::map<std::string, UniqueFd> tempLocks_;
    // The record of the sources, written into the first cabinet's header reserve, and the token
    // every cabinet of the build carries in its set record.
    std::string sourceRecord_;
    ostrivane::cabformat::SetToken setToken_{};
    // The source file being read: its handle, name, size, modification time and mode when
    // opened.
    std::int64_t statHandle_ = -1;
    std::string statName_;
    std::int64_t statSize_ = 0;
    std::timespec statTime_{};
    std::uint16_t statMode_ = 0;
    // For a scanned file, the time just before it was opened (zero for any other).
    std::timespec statOpenedAt_{};
    // The cabinet being filled: its catalog, the data of its closed folders (exact: a folder is
    // closed by the component, and the library reports every block of it before the flush
    // returns), the data reported so far, the open folder's bytes and files, and its records.
    ostrivane::cabformat::CatalogWriter catalog_;
    std::uint64_t closedBytes_ = 0;
    std::uint64_t reportedBytes_ = 0;
    std::uint64_t closedBlocks_ = 0;
    std::uint64_t reportedBlocks_ = 0;
    std::uint64_t openFolderBytes_ = 0;
    std::uint32_t openFolderFiles_ = 0;
    std::uint32_t closedFolders_ = 0;
    std::uint32_t cabinetFiles_ = 0;
    std::uint64_t fileRecordBytes_ = 0;
    bool completing_ = false; // the component itself completes the cabinet
    bool addingCatalog_ = false;
    std::set<std::string> changedReported_;
    bool sourceChanged_ = false;
    bool archiveDamaged_ = false;
    bool verifiedWhole_ = false;
    bool backupComplete_ = false;
    // The source being added and whether its stored name went to the library as UTF-8.
    std::string addingSource_;
    bool storedNameIsUtf_ = false;
    bool adding_ = false;
    int errorsDuringAdd_ = 0;
    bool diskFullReported_ = false;
    bool addSucceeded_ = false;
    // The names handed to the library in this build, kept only under a stored-name rule that
    // does not make them unique by itself (a backup's rule does).
    std::set<std::string> namesAdded_;
    // Parts given to the library and whether a refused part name was reported already.
    int partsAnswered_ = 0; // parts after the first asked for and given
    std::uint16_t buildSetId_ = 0;
    bool partRefusalReported_ = false;

    // What went into each cabinet completed and into the one being filled, and the cabinets the
    // library created for this build in their order (the parts of a set); each is removed should
    // a signal end the process before it is complete.
    std::vector<PackedCabinet> packedCabinets_;
    PackedCabinet packing_;
    std::vector<std::string> parts_;
    // The source being added as the scan found it: its folder (opened relative to its group's
    // folder), its name in that folder, and what the scan knew of it.
    SourceFolders sourceFolders_;
    int sourceFolderFd_ = -1;
    int sourceFolderError_ = 0;
    std::string sourceLeaf_;
    bool sourceScanned_ = false;
    TEntryInfo sourceInfo_;
    std::int64_t sourceHandle_ = -1;
    std::uint64_t sourceCrc_ = 0;
    std::uint64_t sourcePosition_ = 0;
    std::uint64_t sourceChecked_ = 0;
    bool sourceCrcKnown_ = true;

    // --- Folders proved while the packing goes on (FolderProver) ---
    // A new build; the library's data file, the first temporary file it asks for; a closed
    // folder, the `folder`th of the cabinet being filled, its `blocks` records at [start, end)
    // of the data file; a cabinet written (told by the library before it copies the records).
    void BeginProofs();
    void UseDataFileOfContext();
    void ProveClosedFolder(std::uint32_t folder, std::uint64_t start, std::uint64_t end,
                           std::uint64_t blocks);
    void NoteCabinetWritten();
    // Every file is packed and the last cabinet about to be written.
    void PackingDone();
    // The cabinets are written (`flushed`) and the library is about to delete its data file.
    void ProveRestFromCabinet(bool flushed);
    FolderProver prover_;
    std::vector<std::string> libraryTemps_; // made since the context was asked for
    std::size_t cabinetsWritten_ = 0;
    // The sizes of the files packed into the open folder, in order (a folder holds a few dozen).
    std::vector<std::uint64_t> openFolderSizes_;
    bool lastCabinet_ = false; // the final flush: no record is written after it
};
