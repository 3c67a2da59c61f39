#include "cabinet/component/TMakeCab.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/component/CabPaths.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TempFileName.h"
#include "cabinet/format/ArchiveParts.h"
#include "cabinet/format/ReadReasons.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"
#include "platform/fs/RemoveOnTermination.h"
#include "platform/profile/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace fs = ostrivane::fs;
namespace reasons = ostrivane::reasons;

namespace {

using ostrivane::cabformat::kLargestCabinet;
namespace cf = ostrivane::cabformat;

// A cabinet folder of at most this many bytes or files, so that one damaged block costs at most
// the files of one folder. On the benchmark corpus (282 MB, 9,680 files) the archive grows by
// 0.09 % against one folder per cabinet (4 MiB alone: 0.01 %; 128 files: 0.04 %; bench/cabinet
// prints the figure); 64 files keep the loss from one flipped byte far below 100 files even
// where the files are small.
constexpr std::uint64_t kFolderBytes = 4u << 20;
constexpr std::uint32_t kFolderFiles = 64;
// A data record at its worst (a stored deflate block: record head, "CK", block head), and room
// kept beside the worst case of a cabinet's size.
constexpr std::uint64_t kRecordOverhead = 8 + 2 + 5;
constexpr std::uint64_t kSizeMargin = 256;

std::uint64_t WorstData(std::uint64_t bytes) {
    const std::uint64_t block = ostrivane::cabformat::kBlockBytes;
    return bytes + (bytes + block - 1) / block * kRecordOverhead;
}

std::uint64_t FromEnvironment(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return end != nullptr && *end == '\0' ? value : fallback;
}

cf::CatalogTime TimeOf(const std::timespec& time) {
    return {static_cast<std::int64_t>(time.tv_sec), static_cast<std::uint32_t>(time.tv_nsec)};
}
// Folder and name parts of a cabinet path each fit a 256-byte field with its terminating zero.
constexpr std::size_t kMaxCabPathPart = ostrivane::cabformat::kLongestName;

std::vector<char> MutableText(const std::string& text) {
    std::vector<char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    return bytes;
}

} // namespace

TMakeCab::TMakeCab(TComponent* owner)
    : TCabInterface(owner), FileHandler(std::make_unique<TStreamCabinetFileHandler>(this)) {
    arcType_ = atCab;
    SetCompressMethod(cmMsZip);
    SetDefaultExt(".cab");
    SetDeleteOptions(doAllowUndo);
    SetRecurseDirs(false);
    tempDir_ = "C:\\WINDOWS\\TEMP\\";
    FolderBytes = FromEnvironment("OSTRIVANE_FOLDER_BYTES", kFolderBytes);
    FolderFiles =
        static_cast<std::uint32_t>(FromEnvironment("OSTRIVANE_FOLDER_FILES", kFolderFiles));
}

TMakeCab::~TMakeCab() {
    DestroyCabContext();
}

std::string TMakeCab::ArchivePartName(int part) const {
    return part == 1 ? ArchiveFile() : ostrivane::names::PartName(ArchiveFile(), part);
}

std::string TMakeCab::CabinetPathFor(int part) const {
    return CabinetPath ? CabinetPath(part) : ArchivePartName(part);
}

std::string TMakeCab::ReportedName(const std::string& cabinet) const {
    const auto found = std::find(parts_.begin(), parts_.end(), cabinet);
    return found == parts_.end() ? cabinet
                                 : ArchivePartName(static_cast<int>(found - parts_.begin()) + 1);
}

void TMakeCab::SetArcType(TArcType /*value*/) {
    arcType_ = atCab;
    if (!IsLoading() && !archiveFile_.empty() && PathExtension(archiveFile_).empty()) {
        archiveFile_ += DefaultExt();
    }
}

void TMakeCab::DoError(const std::string& fileName, const std::string& extendedMsg, int eCode,
                       const std::string& volumeID) {
    if (adding_) {
        ++errorsDuringAdd_;
    }
    // A cabinet that could not be written whole, or did not read back whole, is no backup.
    if (eCode == kErrWritingFile || eCode == kErrDiskFull || eCode == kErrVerifyFailed) {
        archiveDamaged_ = true;
    }
    TCabInterface::DoError(fileName, extendedMsg, eCode, volumeID);
}

void TMakeCab::DoGetNextCabinet(CCAB& ccab, std::string& newName, int prevSize, bool& abort) {
    if (OnGetNextCabinet) {
        OnGetNextCabinet(this, ccab, newName, prevSize, abort);
    }
}

void TMakeCab::AnswerWithNextPart(CCAB& ccab, std::string& newName, bool& abort) {
    const int part = partsAnswered_ + 2;
    const std::string name = CabinetPathFor(part);
    abort = fs::FileAttributes(name).has_value() && !ostrivane::IsArchivePart(name);
    if (abort) {
        if (!partRefusalReported_) {
            partRefusalReported_ = true;
            DoError(name, "", kErrWritingFile, "0");
        }
        return;
    }
    newName = name;
    ++partsAnswered_;
    // Every part carries the build's set ID, given to the first cabinet at the start.
    ccab.setID = buildSetId_;
}

std::string TMakeCab::CabinetBeingWritten() const {
    return ArchivePartName(std::max(1, static_cast<int>(parts_.size())));
}

void TMakeCab::GetTempFileName(std::string& name, bool& ok) {
    const fs::TerminationDeferred listedOnceMade;
    name = MakeTempFileName(tempFolder_.empty() ? TempDir() : tempFolder_);
    ok = !name.empty();
    if (ok) {
        libraryTemps_.push_back(name);
        RegisterOwnFile(name);
        fs::RemoveOnTermination(name);
        UniqueFd lock(::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (lock.Valid() && ::flock(lock.Get(), LOCK_EX) == 0) {
            tempLocks_[name] = std::move(lock);
        }
    }
}

std::string TMakeCab::TempFolderWithRoom() {
    const std::string folder = TempDir();
    struct statvfs room {};
    if (::statvfs(folder.c_str(), &room) == 0 &&
        static_cast<double>(room.f_bavail) * static_cast<double>(room.f_frsize) <
            ArchiveBytesTotal) {
        return ostrivane::names::FolderOf(CabinetPathFor(1)) + "/";
    }
    return folder;
}

std::vector<ostrivane::cabformat::SourceGroup>
TMakeCab::SourceGroups(const TCompHeaderObj& entries) {
    std::vector<ostrivane::cabformat::SourceGroup> groups;
    std::set<std::string> seen;
    const std::string groupRoot = GroupRoot;
    std::string lastRoot;
    for (int i = 0; i < entries.Count(); ++i) {
        const auto rootLength = static_cast<std::size_t>(entries.RootLength(i));
        const std::string_view folderPart = entries.FolderPart(i);
        // Entries of one group come one after another: only a new root is looked at.
        if (i > 0 && folderPart.size() >= rootLength && lastRoot.size() == rootLength &&
            folderPart.substr(0, rootLength) == lastRoot) {
            continue;
        }
        const std::string path = entries.FileName(i);
        const std::string root = path.substr(0, rootLength);
        lastRoot = root;
        if (!seen.insert(root).second) {
            continue;
        }
        // The prefix is what the stored-name rule puts before the part below the group's folder.
        GroupRoot = root;
        SetStoredName(path);
        const std::string& stored = CurrentEntry.StoredName;
        const std::string tail = path.substr(rootLength);
        if (stored.size() < tail.size() ||
            stored.compare(stored.size() - tail.size(), tail.size(), tail) != 0) {
            continue;
        }
        std::string folder = root;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        groups.push_back({CabStoredName(stored.substr(0, stored.size() - tail.size())), folder});
    }
    GroupRoot = groupRoot;
    return groups;
}

bool TMakeCab::EntriesScanned(TCompHeaderObj& entries) {
    tempFolder_ = TempFolderWithRoom();
    sourceRecord_ = ostrivane::cabformat::EncodeSourceRecord(SourceGroups(entries));
    CreateCabContext(CabinetPathFor(1), "", buildSetId_,
                     FolderBytes == 0 ? kLargestCabinet
                                      : static_cast<std::uint32_t>(
                                            std::min<std::uint64_t>(FolderBytes, kLargestCabinet)),
                     std::min(PartSize, kLargestCabinet));
    if (CabContext != nullptr) {
        return true;
    }
    // The library refused the context (no temporary file, no memory): nothing can be added,
    // and the build says so instead of reporting every file.
    if (CabinetLoaded()) {
        DoError(ArchiveFile(), "", kErrWritingFile, "0");
    }
    return false;
}

void TMakeCab::RecordPlaces() {
    const auto count = static_cast<std::uint16_t>(parts_.size());
    for (std::uint16_t index = 1; index <= count; ++index) {
        const std::string& part = parts_[index - 1u];
        std::string reserve = ostrivane::cabformat::EncodeSetRecord({setToken_, index, count});
        if (index == 1)
            reserve += sourceRecord_;
        if (!ostrivane::cabformat::WriteHeaderReserve(part, reserve))
            DoError(ReportedName(part), "the record of its place in the backup was not written",
                    kErrWritingFile, "0");
    }
}

bool TMakeCab::ArchivePathAcceptable() {
    if (fs::FolderPartOf(ArchiveFile()).size() <= kMaxCabPathPart &&
        fs::NameOf(ArchiveFile()).size() <= kMaxCabPathPart) {
        return true;
    }
    DoError(ArchiveFile(), "File name too long", kErrWritingFile, "0");
    return false;
}

bool TMakeCab::ArchiveWritable() {
    const std::optional<std::uint32_t> attributes = fs::FileAttributes(ArchiveFile());
    constexpr std::uint32_t kNotWritable =
        fs::kAttrReadOnly | fs::kAttrHidden | fs::kAttrSystem | fs::kAttrDirectory;
    if (!attributes || (*attributes & kNotWritable) == 0) {
        return true;
    }
    bool writeToFile = false;
    if (OnNonWriteableArchive) {
        OnNonWriteableArchive(this, ArchiveFile(), writeToFile);
    }
    if (!writeToFile) {
        if (!OnNonWriteableArchive) {
            DoError(ArchiveFile(), "", kErrWritingFile, "0");
        }
        return false;
    }
    // Normal attributes: the owner may write. A folder cannot become a file, and a name with a
    // leading "." stays hidden, which does not keep it from being written.
    struct stat info {};
    if ((*attributes & fs::kAttrDirectory) != 0 || ::stat(ArchiveFile().c_str(), &info) != 0 ||
        ::chmod(ArchiveFile().c_str(), (info.st_mode & 07777) | S_IWUSR) != 0) {
        DoError(ArchiveFile(), "", kErrWritingFile, "0");
        return false;
    }
    return true;
}

void TMakeCab::ExecuteCompress(TCompHeaderObj& entries) {
    backupComplete_ = false;
    try {
        if (!CabinetLoaded()) {
            RaiseError(ArchiveFile(), kErrCabinetDllMissing, "0", "");
        }
        const bool exists = fs::FileAttributes(ArchiveFile()).has_value();
        if (OperationMode == omDelete) {
            RaiseError(ArchiveFile(), kErrUnsupportedArc, "0", "");
            return;
        }
        if (OperationMode == omList && exists) {
            ListExistingArchive();
            return;
        }
        if (!ArchivePathAcceptable()) {
            return;
        }
        if (exists && !ArchiveWritable()) {
            return;
        }
        // Folders and links are recorded in the catalog, and the catalog's name is taken.
        StoreEmptyDirs = true;
        StoreLinks = true;
        diskFullReported_ = false;
        namesAdded_.clear();
        namesAdded_.insert(std::string(cf::kCatalogName));
        std::timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        Started = TimeOf(now);
        catalog_.Start(Started);
        ForgetCabinet();
        if (OnActivate) {
            OnActivate(this);
        }
        if (OnElapsedTime) {
            Timer.Start();
        }
        partRefusalReported_ = false;
        partsAnswered_ = 0;
        packedCabinets_.clear();
        packing_ = PackedCabinet{};
        parts_.clear();
        BeginProofs();
        changedReported_.clear();
        statHandle_ = -1;
        VerifiedFiles = 0;
        VerificationSeconds = 0.0;
        archiveDamaged_ = false;
        verifiedWhole_ = !VerifyArchive;
        tempFolder_.clear();
        sourceRecord_.clear();
        buildSetId_ = SetId != 0 ? SetId : ostrivane::NewSetId(ArchiveFile());
        setToken_ = ostrivane::cabformat::NewSetToken();
        addSucceeded_ = false;
        // The context is made between the scan and the first add (EntriesScanned), when the
        // size of what is to be packed is known.
        try {
            ScanAndWriteEntries(nullptr, nullptr, entries);
        } catch (...) {
        }
        // Every entry is in the cabinets or left out: the list goes before the read-back.
        entries.Clear();
        // The last cabinet gets its catalog too.
        const bool catalogued =
            CabContext == nullptr || cabinetFiles_ == 0 || GetCancel() || AddCatalogMember();
        PackingDone();
        const bool flushed = CabContext != nullptr && catalogued && FlushCabinet(false);
        if (CabContext != nullptr && !flushed) {
            ReportFailedFlush();
            // Without a written cabinet no file was backed up, whatever the adds said; a
            // cancelled build keeps its count of the files handed over before the cancel.
            if (!GetCancel()) {
                FilesAdded = 0;
                FilesSkipped = 0;
            }
        } else if (flushed && !parts_.empty() && !CabinetPath) {
            // Parts of an earlier, larger set of the same name would pass for parts of this one.
            ostrivane::RemoveArchiveParts(ArchiveFile(), static_cast<int>(parts_.size()) + 1);
        }
        ProveRestFromCabinet(flushed);
        DestroyCabContext();
        sourceFolders_.Close();
        // The cabinets are complete (or, failed, deleted): written under the archive's own names
        // they stay, whatever ends the process later. Under names of their own they are not the
        // archive yet: whoever named them places or removes them.
        if (!CabinetPath) {
            for (const std::string& part : parts_) {
                fs::KeepOnTermination(part);
            }
        }
        if (flushed && addSucceeded_ && !GetCancel() && !parts_.empty()) {
            RecordPlaces();
            SecureWrittenArchive();
        }
        prover_.Stop();
        backupComplete_ = flushed && addSucceeded_ && !parts_.empty() && !GetCancel() &&
                          !archiveDamaged_ && verifiedWhole_;
        if (OnElapsedTime) {
            Timer.Stop();
            OnElapsedTime(this, Timer.ElapsedSeconds());
        }
        if (OnDeactivate) {
            OnDeactivate(this);
        }
    } catch (...) {
    }
}

void TMakeCab::ReportFailedFlush() {
    // A cancelled build fails its flush on purpose, a reported full disk has said enough, and a
    // build that never handed a file over has reported "Nothing to do" or the failed adds.
    if (GetCancel() || diskFullReported_ || !addSucceeded_) {
        return;
    }
    DoError(CabinetBeingWritten(), "", kErrWritingFile, "0");
}

void TMakeCab::CompressFile(TStream* /*stream*/, int index, bool& done, TCompHeaderObj& entries) {
    done = false;
    bool extract = true;
    CurrentEntry.Size = FileBytesLeft;
    CurrentEntry.PackedSize = FileBytesLeft;
    FileBytesTotal = FileBytesLeft;
    const std::string fullName = entries.FileName(index);
    CurrentEntry.StoredName = fullName;
    GroupRoot = fullName.substr(0, static_cast<std::size_t>(entries.RootLength(index)));
    if ((CurrentEntry.Attributes & (fs::kAttrDirectory | fs::kAttrLink)) != 0) {
        // Nothing of it goes into the cabinet's data: the catalog records it.
        RecordFolderOrLink(fullName);
        return;
    }
    // The file is opened relative to its folder, with what the scan found of it.
    sourceInfo_ = LoadCabEntryHeader(entries.Header(index));
    sourceFolderFd_ = sourceFolders_.Open(entries.FolderPart(index),
                                          static_cast<std::size_t>(entries.RootLength(index)));
    sourceFolderError_ = sourceFolderFd_ < 0 ? errno : 0;
    sourceLeaf_.assign(entries.NamePart(index));
    if (OnBegin) {
        OnBegin(this, fullName, CurrentEntry.Number, extract);
    }
    SetStoredName(fullName);
    if (!extract) {
        return;
    }
    // "\" is an ordinary character of a name here but the separator inside a cabinet: stored
    // as it is, "a\b.txt" would be restored as the file b.txt of a folder a, over another file.
    // A cabinet holds names of at most 255 bytes, and no two entries of one cabinet may share a
    // name: every reader would restore only one of them.
    const std::string cabName = CabStoredName(CurrentEntry.StoredName);
    if (CurrentEntry.StoredName.find('\\') != std::string::npos ||
        cabName.size() > kMaxCabPathPart || NameRepeats(cabName)) {
        DoError(fullName, "", kErrNameNotStorable, "0");
        if (OnEnd) {
            OnEnd(this, fullName, false);
        }
        return;
    }
    bool added = false;
    try {
        NextFolderFor(CurrentEntry.Size);
        MakeRoomFor(CurrentEntry.Size, cabName.size(), 0, true);
        sourceScanned_ = true;
        added = AddFileToCabinet(fullName, false);
        sourceScanned_ = false;
        done = added && !GetCancel();
    } catch (...) {
        sourceScanned_ = false;
        done = false;
        if (OnEnd) {
            OnEnd(this, fullName, false);
        }
        return;
    }
    if (OnEnd) {
        OnEnd(this, fullName, added && !GetCancel());
    }
}

bool TMakeCab::NameRepeats(const std::string& cabName) {
    if (cabName == cf::kCatalogName) {
        return true;
    }
    // Under the backup's rule every name lies below its group's folder part, which no two groups
    // share (GroupNames.cpp): the names of one build cannot repeat, and none is kept.
    if (StoredDirNames() == sdRelativeStoreStart) {
        return false;
    }
    return !namesAdded_.insert(cabName).second;
}

void TMakeCab::CreateCabContext(const std::string& cabFileName, const std::string& diskName,
                                std::uint16_t setID, std::uint32_t folderThreshold,
                                std::uint32_t maxCabinetSize) {
    DestroyCabContext();
    ccab_ = CCAB{};
    ccab_.cb = maxCabinetSize;
    // Room for the set record and the record of the sources, written once the set is complete
    // (every cabinet of the set has the same reserve; only the first holds the sources).
    ccab_.cbReserveCFHeader =
        static_cast<FCI_UINT>(ostrivane::cabformat::kSetRecordBytes + sourceRecord_.size());
    ccab_.cbFolderThresh = folderThreshold;
    ccab_.fFailOnIncompressible = FailOnIncompressible() ? 1 : 0;
    ccab_.setID = setID;
    CopyToCabField(ccab_.szDisk, sizeof ccab_.szDisk, diskName);
    CopyToCabField(ccab_.szCab, sizeof ccab_.szCab, fs::NameOf(cabFileName));
    CopyToCabField(ccab_.szCabPath, sizeof ccab_.szCabPath, fs::FolderPartOf(cabFileName));
    CabError = ERF{};
    // The library's workers start here and keep the termination signals held back, so that the
    // handler that removes the build's files runs on this thread, never beside it.
    const fs::TerminationDeferred onThisThreadOnly;
    libraryTemps_.clear();
    CabContext = CabinetEntryPoints().FCICreate(&CabError, FciFilePlaced, FciAlloc, FciFree,
                                                FciOpen, FciRead, FciWrite, FciClose, FciSeek,
                                                FciDelete, FciGetTempFile, &ccab_, this);
    UseDataFileOfContext();
}

bool TMakeCab::AddFileToCabinet(const std::string& sourceFile, bool execute) {
    TCOMP compression = tcompTYPE_NONE;
    switch (CompressMethod()) {
    case cmStore:
        compression = tcompTYPE_NONE;
        CurrentEntry.MethodNumber = 0;
        CurrentEntry.MethodName = "Stored";
        break;
    case cmMsZip:
        compression = tcompTYPE_MSZIP;
        CurrentEntry.MethodNumber = 1;
        CurrentEntry.MethodName = "MsZIP";
        break;
    case cmLzx:
        compression = static_cast<TCOMP>(LzxLevel() * 256 + tcompTYPE_LZX);
        CurrentEntry.MethodNumber = 2;
        CurrentEntry.MethodName = "Lzx";
        break;
    case cmQuantum: {
        const int type = QuantumType() == ctStore ? 0 : QuantumType() == ctMsZip ? 1 : 3;
        compression = static_cast<TCOMP>(QuantumMemory() * 256 + QuantumLevel() * 16 + type);
        CurrentEntry.MethodNumber = QuantumType();
        CurrentEntry.MethodName = "Quantum";
        break;
    }
    default:
        break;
    }

    // With TranslateOemChar a name of plain ASCII goes as it is and any other name as UTF-8,
    // marked by the attribute the get-open-info callback adds. A name that is not UTF-8 (a file
    // system takes any bytes) has no truthful conversion and goes unchanged and unmarked.
    const std::string stored = CabStoredName(CurrentEntry.StoredName);
    storedNameIsUtf_ = TranslateOemChar() && !stored.empty() && !IsPlainAscii(stored) &&
                       ostrivane::profile::IsValidUtf8(stored);

    std::vector<char> source = MutableText(sourceFile);
    std::vector<char> name = MutableText(stored);
    addingSource_ = sourceFile;
    adding_ = true;
    errorsDuringAdd_ = 0;
    sourceChanged_ = false;
    CabError = ERF{};
    FCI_BOOL result = 0;
    try {
        result = CabinetEntryPoints().FCIAddFile(CabContext, source.data(), name.data(),
                                                 execute ? 1 : 0, FciGetNextCabinet, FciStatus,
                                                 FciGetOpenInfo, compression);
    } catch (...) {
        adding_ = false;
        throw;
    }
    adding_ = false;
    const bool added = result != 0;
    // A file that changed while it was read is told once it is in the cabinet (one that could
    // not be taken is told as such).
    if (added && sourceChanged_ && changedReported_.insert(sourceFile).second) {
        DoError(sourceFile, "", kErrFileChanged, "0");
    }
    sourceChanged_ = false;
    if (added) {
        addSucceeded_ = true;
        if (sourceCrcKnown_)
            catalog_.AddFile(stored, statMode_, TimeOf(statTime_), sourceChecked_, sourceCrc_);
        else
            catalog_.AddUncheckedFile(stored, statMode_, TimeOf(statTime_), sourceChecked_);
        ++cabinetFiles_;
        // An empty file has nothing a damaged block could cost: it does not fill the folder.
        if (sourceChecked_ > 0)
            ++openFolderFiles_;
        openFolderBytes_ += sourceChecked_;
        fileRecordBytes_ += ostrivane::cabformat::kFileRecordBytes + stored.size() + 1;
        NotePackedFile(stored);
    } else {
        ReportFailedAdd(sourceFile);
    }
    if (!GetCancel() && OnRead) {
        OnRead(this, 0, 0);
    }
    return added;
}

void TMakeCab::ReportFailedAdd(const std::string& sourceFile) {
    // Nothing more to say when a callback has reported already (the source could not be opened,
    // the disk is full) or when the user cancelled.
    if (GetCancel() || errorsDuringAdd_ > 0 || diskFullReported_) {
        return;
    }
    if (CabError.erfOper == FCIERR_OPEN_SRC || CabError.erfOper == FCIERR_READ_SRC) {
        DoError(sourceFile, "", kErrOpeningFile, "0");
    } else if (CabError.erfOper == FCIERR_CAB_FORMAT_LIMIT) {
        // Too large for one cabinet once the records' own bytes are counted (names that do
        // not fit were left out before the add).
        DoError(sourceFile, "", kErrFileTooLarge, "0");
    } else if (CabError.erfOper != FCIERR_USER_ABORT || !partRefusalReported_) {
        DoError(CabinetBeingWritten(), sourceFile, kErrWritingFile, "0");
    }
}

bool TMakeCab::FlushCabinet(bool getNextCab) {
    return CabinetEntryPoints().FCIFlushCabinet(CabContext, getNextCab ? 1 : 0, FciGetNextCabinet,
                                                FciStatus) != 0;
}

void TMakeCab::DestroyCabContext() {
    if (CabContext != nullptr) {
        // The library's temporary files are emptied before it deletes them, here, on this
        // thread: a prover's worker of the lowest priority that still has the data file open
        // for a moment then holds none of its pages, whose dropping the sync of the cabinet
        // would otherwise wait for.
        for (const std::string& temp : libraryTemps_)
            ::truncate(temp.c_str(), 0);
        CabinetEntryPoints().FCIDestroy(CabContext);
        CabContext = nullptr;
    }
    // The library has deleted its temporary files (or, failing that, left them to a later run,
    // which finds them unlocked).
    tempLocks_.clear();
}

void TMakeCab::ForgetCabinet() {
    closedBytes_ = 0;
    reportedBytes_ = 0;
    closedBlocks_ = 0;
    reportedBlocks_ = 0;
    openFolderBytes_ = 0;
    openFolderFiles_ = 0;
    closedFolders_ = 0;
    cabinetFiles_ = 0;
    fileRecordBytes_ = 0;
}

bool TMakeCab::FlushFolder() {
    // A folder without data (empty files alone) stays open: a folder of no data blocks is one
    // that libarchive refuses, and it holds nothing to lose.
    if (openFolderBytes_ == 0)
        return true;
    if (CabContext == nullptr ||
        CabinetEntryPoints().FCIFlushFolder(CabContext, FciGetNextCabinet, FciStatus) == 0)
        return false;
    // Every block of the folder has been reported.
    ProveClosedFolder(closedFolders_, closedBytes_, reportedBytes_,
                      reportedBlocks_ - closedBlocks_);
    closedBytes_ = reportedBytes_;
    closedBlocks_ = reportedBlocks_;
    ++closedFolders_;
    openFolderBytes_ = 0;
    openFolderFiles_ = 0;
    return true;
}

void TMakeCab::NextFolderFor(std::uint64_t size) {
    if (openFolderBytes_ == 0 || (FolderBytes == 0 && FolderFiles == 0))
        return;
    const bool full = (FolderBytes > 0 && openFolderBytes_ >= FolderBytes) ||
                      (FolderFiles > 0 && openFolderFiles_ >= FolderFiles);
    // A large file gets a folder of its own rather than the files before it in its history.
    const bool farPast = FolderBytes > 0 && openFolderBytes_ + size > 2 * FolderBytes;
    if (full || farPast)
        FlushFolder();
}

void TMakeCab::MakeRoomFor(std::uint64_t size, std::size_t nameBytes, std::size_t targetBytes,
                           bool member) {
    if (cabinetFiles_ == 0 || CabContext == nullptr)
        return;
    using namespace ostrivane::cabformat;
    const std::uint64_t header = kHeaderReserveAt + ccab_.cbReserveCFHeader;
    // The open folder and the catalog's.
    const std::uint64_t folders = (std::uint64_t{closedFolders_} + 2) * kFolderRecordBytes;
    const std::uint64_t records = fileRecordBytes_ +
                                  (member ? kFileRecordBytes + nameBytes + 1 : 0) +
                                  kFileRecordBytes + kCatalogName.size() + 1;
    const std::uint64_t catalog =
        catalog_.FinishedBytes() + CatalogWriter::EntryBytes(nameBytes, targetBytes);
    const std::uint64_t data = closedBytes_ + WorstData(openFolderBytes_ + size) +
                               WorstData(catalog) +
                               (std::uint64_t{closedFolders_} + 2) * ccab_.cbReserveCFData;
    const bool fits = header + folders + records + data + kSizeMargin <= ccab_.cb &&
                      std::uint64_t{cabinetFiles_} + (member ? 2 : 1) <= kMostFilesPerCabinet;
    if (fits)
        return;
    if (!AddCatalogMember())
        return;
    completing_ = true;
    const bool next = FlushCabinet(true);
    completing_ = false;
    if (!next)
        ReportFailedFlush();
    ForgetCabinet();
}

bool TMakeCab::AddCatalogMember() {
    const std::string bytes = catalog_.Finish();
    std::string path;
    bool ok = false;
    GetTempFileName(path, ok);
    bool written = ok;
    if (ok) {
        UniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
        std::size_t at = 0;
        while (fd.Valid() && at < bytes.size()) {
            const ssize_t n = ::write(fd.Get(), bytes.data() + at, bytes.size() - at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            at += static_cast<std::size_t>(n);
        }
        written = fd.Valid() && at == bytes.size() && ::close(fd.Release()) == 0;
    }
    bool added = false;
    if (written && FlushFolder()) {
        std::vector<char> source = MutableText(path);
        std::vector<char> name = MutableText(std::string(cf::kCatalogName));
        storedNameIsUtf_ = false;
        addingSource_ = path;
        adding_ = true;
        addingCatalog_ = true;
        errorsDuringAdd_ = 0;
        CabError = ERF{};
        const TCOMP compression = CompressMethod() == cmStore ? tcompTYPE_NONE : tcompTYPE_MSZIP;
        try {
            added = CabinetEntryPoints().FCIAddFile(CabContext, source.data(), name.data(), 0,
                                                    FciGetNextCabinet, FciStatus, FciGetOpenInfo,
                                                    compression) != 0;
        } catch (...) {
        }
        adding_ = false;
        addingCatalog_ = false;
        sourceHandle_ = -1;
    }
    if (ok) {
        int err = 0;
        FileHandler->CabDelete(path, err);
        fs::KeepOnTermination(path);
        tempLocks_.erase(path);
    }
    if (!added && !GetCancel())
        DoError(CabinetBeingWritten(), reasons::CatalogNotWritten(), kErrWritingFile, "0");
    return added;
}

void TMakeCab::RecordFolderOrLink(const std::string& fullName) {
    const bool folder = (CurrentEntry.Attributes & fs::kAttrDirectory) != 0;
    SetStoredName(folder && fullName.back() != '/' ? fullName + "/" : fullName);
    std::string stored = CabStoredName(CurrentEntry.StoredName);
    while (!stored.empty() && stored.back() == '\\')
        stored.pop_back();
    if (stored.empty() || stored.size() > kMaxCabPathPart ||
        CurrentEntry.StoredName.find('\\') != std::string::npos)
        return;
    struct stat info {};
    if (::lstat(fullName.c_str(), &info) != 0)
        return;
    if (folder) {
        if (!S_ISDIR(info.st_mode))
            return;
        MakeRoomFor(0, stored.size(), 0, false);
        catalog_.AddFolder(stored, static_cast<std::uint16_t>(info.st_mode & 07777),
                           TimeOf(info.st_mtim),
                           (CurrentEntry.Attributes & fs::kAttrEmptyFolder) != 0);
        return;
    }
    if (!S_ISLNK(info.st_mode))
        return;
    std::string target(static_cast<std::size_t>(info.st_size) + 1, '\0');
    const ssize_t length = ::readlink(fullName.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size() || length > 0xFFFF) {
        DoError(fullName, "", kErrOpeningFile, "0");
        return;
    }
    target.resize(static_cast<std::size_t>(length));
    MakeRoomFor(0, stored.size(), target.size(), false);
    catalog_.AddLink(stored, TimeOf(info.st_mtim), target);
}
