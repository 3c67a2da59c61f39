#include "cabinet/component/TMakeCab.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/component/CabPaths.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TempFileName.h"
#include "cabinet/format/ArchiveParts.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"
#include "platform/fs/RemoveOnTermination.h"
#include "platform/profile/Utf8.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <vector>

namespace fs = ostrivane::fs;

namespace {

using ostrivane::cabformat::kLargestCabinet;
// One folder takes files up to the cabinet's own limit.
constexpr std::uint32_t kFolderThreshold = kLargestCabinet;
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
    for (int i = 0; i < entries.Count(); ++i) {
        const std::string& path = entries.FileName(i);
        const auto rootLength = static_cast<std::size_t>(entries.RootLength(i));
        const std::string root = path.substr(0, rootLength);
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
    CreateCabContext(CabinetPathFor(1), "", buildSetId_, kFolderThreshold,
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
        StoreEmptyDirs = false;
        diskFullReported_ = false;
        namesAdded_.clear();
        if (OnActivate) {
            OnActivate(this);
        }
        if (OnElapsedTime) {
            Timer.Start();
        }
        partRefusalReported_ = false;
        partsAnswered_ = 0;
        packed_.clear();
        parts_.clear();
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
        const bool flushed = CabContext != nullptr && FlushCabinet(false);
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
        DestroyCabContext();
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
        cabName.size() > kMaxCabPathPart || !namesAdded_.insert(cabName).second) {
        DoError(fullName, "", kErrNameNotStorable, "0");
        if (OnEnd) {
            OnEnd(this, fullName, false);
        }
        return;
    }
    bool added = false;
    try {
        added = AddFileToCabinet(fullName, false);
        done = added && !GetCancel();
    } catch (...) {
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
    CabContext = CabinetEntryPoints().FCICreate(&CabError, FciFilePlaced, FciAlloc, FciFree,
                                                FciOpen, FciRead, FciWrite, FciClose, FciSeek,
                                                FciDelete, FciGetTempFile, &ccab_, this);
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
    if (added) {
        addSucceeded_ = true;
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
        CabinetEntryPoints().FCIDestroy(CabContext);
        CabContext = nullptr;
    }
    // The library has deleted its temporary files (or, failing that, left them to a later run,
    // which finds them unlocked).
    tempLocks_.clear();
}
