// The thirteen routines libcabinet.so calls back while it builds a cabinet. Each receives the
// TMakeCab as its context value. None lets an exception into the library: a failing event
// handler turns into the routine's failure value.
#include "cabinet/component/CabPaths.h"
#include "cabinet/component/LastError.h"
#include "cabinet/component/Percent.h"
#include "cabinet/component/TMakeCab.h"
#include "platform/cabformat/CabinetFormat.h"
#include "platform/fs/DosDateTime.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"
#include "platform/fs/RemoveOnTermination.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

namespace fs = ostrivane::fs;

namespace {

TMakeCab& Self(void* pv) {
    return *static_cast<TMakeCab*>(pv);
}

int& ErrOrDummy(int* err) {
    static thread_local int dummy = 0;
    return err != nullptr ? *err : dummy;
}

} // namespace

bool TMakeCab::CancelCheck(int* err) {
    if (!GetCancel()) {
        return false;
    }
    ErrOrDummy(err) = -1;
    FileBytesLeft = 0;
    return true;
}

int TMakeCab::FciFilePlaced(CCAB*, char*, long, FCI_BOOL, void*) {
    return 0;
}

void* TMakeCab::FciAlloc(FCI_ULONG cb) {
    return std::malloc(cb == 0 ? 1 : cb);
}

void TMakeCab::FciFree(void* memory) {
    std::free(memory);
}

FCI_INT_PTR TMakeCab::FciOpen(char* file, int oflag, int pmode, int* err, void* pv) {
    int& e = ErrOrDummy(err);
    e = 0;
    try {
        TMakeCab& self = Self(pv);
        // The library creates only its temporary files (already guarded) and the cabinets.
        if ((oflag & FCI_O_CREAT) != 0 && !self.IsOwnFile(file, 0, 0)) {
            fs::RemoveOnTermination(file);
            self.parts_.emplace_back(file);
        }
        return self.FileHandler->CabOpen(file, oflag, pmode, e, 0);
    } catch (...) {
        e = -1;
        return -1;
    }
}

void TMakeCab::NotifyProgress() {
    const std::uint32_t done = FileBytesTotal - FileBytesLeft;
    ProgressByFile = Percent(static_cast<double>(FileBytesTotal), static_cast<double>(done));
    ProgressByArchive = Percent(ArchiveBytesTotal, ArchiveBytesTotal - ArchiveBytesLeft);
    DoProgress(ProgressByFile, ProgressByArchive);
}

FCI_UINT TMakeCab::FciRead(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv) {
    TMakeCab& self = Self(pv);
    int& e = ErrOrDummy(err);
    e = 0;
    try {
        if (self.CancelCheck(&e)) {
            return 0;
        }
        const FCI_UINT n = self.FileHandler->CabRead(static_cast<std::int32_t>(hf), memory, cb, e);
        self.NoteSourceRead(hf, memory, n);
        // Only the source being added moves the percentages: not the library's temporary files,
        // which it reads back when it writes a cabinet, nor the catalog.
        if (n > 0 && hf == self.sourceHandle_ && self.FileBytesLeft > 0 && !self.addingCatalog_) {
            try {
                self.FileBytesLeft -= n;
                self.ArchiveBytesLeft -= n;
                if (self.ArchiveBytesLeft < 0.0) {
                    self.ArchiveBytesLeft = 0.0;
                }
                self.NotifyProgress();
            } catch (...) {
            }
        }
        return n;
    } catch (...) {
        e = -1;
        return 0;
    }
}

FCI_UINT TMakeCab::FciWrite(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv) {
    TMakeCab& self = Self(pv);
    int& e = ErrOrDummy(err);
    try {
        if (self.CancelCheck(&e)) {
            return 0;
        }
        e = 0;
        const FCI_UINT n = self.FileHandler->CabWrite(static_cast<std::int32_t>(hf), memory, cb, e);
        if (e == kErrorDiskFull && !self.diskFullReported_) {
            // Reported once per build: the library may try several writes before it gives up.
            self.diskFullReported_ = true;
            self.CurrentEntry.Number = 0;
            self.FilesAdded = 0;
            self.FilesSkipped = 0;
            self.DoError(self.CabinetBeingWritten(), "", kErrDiskFull, "0");
        }
        return n;
    } catch (...) {
        e = -1;
        return 0;
    }
}

int TMakeCab::FciClose(FCI_INT_PTR hf, int* err, void* pv) {
    int& e = ErrOrDummy(err);
    e = 0;
    try {
        TMakeCab& self = Self(pv);
        const bool aFile = self.CheckSourceUnchanged(hf);
        const int result = self.FileHandler->CabClose(static_cast<std::int32_t>(hf), e);
        if (!aFile) {
            // No file to take (it turned into a FIFO or a folder since the scan): the library
            // undoes it, and the failed add is reported as a file that could not be read.
            e = EINVAL;
            return -1;
        }
        return result;
    } catch (...) {
        e = -1;
        return -1;
    }
}

long TMakeCab::FciSeek(FCI_INT_PTR hf, long dist, int seektype, int* err, void* pv) {
    TMakeCab& self = Self(pv);
    int& e = ErrOrDummy(err);
    try {
        if (self.CancelCheck(&e)) {
            // -1 rather than 0: a seek that answers 0 would pass for a move to the start.
            return -1;
        }
        e = 0;
        const long position = self.FileHandler->CabSeek(
            static_cast<std::int32_t>(hf), static_cast<std::int32_t>(dist), seektype, e);
        self.NoteSourceSeek(hf, position, seektype == 0 && dist == 0);
        return position;
    } catch (...) {
        e = -1;
        return -1;
    }
}

int TMakeCab::FciDelete(char* file, int* err, void* pv) {
    int& e = ErrOrDummy(err);
    e = 0;
    try {
        TMakeCab& self = Self(pv);
        const int result = self.FileHandler->CabDelete(file, e);
        if (e == 0) {
            fs::KeepOnTermination(file);
            self.tempLocks_.erase(file);
        }
        return result;
    } catch (...) {
        e = -1;
        return -1;
    }
}

FCI_BOOL TMakeCab::FciGetTempFile(char* tempName, int cbTempName, void* pv) {
    try {
        std::string name;
        bool ok = false;
        Self(pv).GetTempFileName(name, ok);
        if (!ok || cbTempName <= 0 || name.size() >= static_cast<std::size_t>(cbTempName)) {
            return 0;
        }
        name.copy(tempName, name.size());
        tempName[name.size()] = '\0';
        return 1;
    } catch (...) {
        return 0;
    }
}

FCI_BOOL TMakeCab::FciGetNextCabinet(CCAB* ccab, FCI_ULONG cbPrevCab, void* pv) {
    try {
        bool abort = true;
        std::string newName;
        Self(pv).DoGetNextCabinet(*ccab, newName, static_cast<int>(cbPrevCab), abort);
        if (!abort && CopyToCabField(ccab->szCab, sizeof ccab->szCab, fs::NameOf(newName)) &&
            CopyToCabField(ccab->szCabPath, sizeof ccab->szCabPath, fs::FolderPartOf(newName))) {
            return 1;
        }
    } catch (...) {
    }
    // Refused, or a name that does not fit the record: the library gives up.
    CopyToCabField(ccab->szCab, sizeof ccab->szCab, "");
    CopyToCabField(ccab->szCabPath, sizeof ccab->szCabPath, "");
    return 0;
}

long TMakeCab::FciStatus(FCI_UINT typeStatus, FCI_ULONG cb1, FCI_ULONG, void* pv) {
    TMakeCab& self = Self(pv);
    if (typeStatus == statusFile) {
        // A data block written: its payload and its record's head.
        self.reportedBytes_ +=
            cb1 + ostrivane::cabformat::kDataRecordBytes + self.ccab_.cbReserveCFData;
        ++self.reportedBlocks_;
    } else if (typeStatus == statusCabinet) {
        // A cabinet is complete. When the library split the set on its own (a file grew beyond
        // what the component counted on), the cabinet went without a catalog: its entries go.
        if (!self.completing_)
            self.catalog_.Finish();
        self.ForgetCabinet();
        self.packedCabinets_.push_back(self.packing_);
        self.packing_ = PackedCabinet{};
        self.NoteCabinetWritten();
    }
    return typeStatus <= statusCabinet ? 0 : -1;
}

FCI_INT_PTR TMakeCab::FciGetOpenInfo(char* name, FCI_USHORT* date, FCI_USHORT* time,
                                     FCI_USHORT* attribs, int* err, void* pv) {
    int& e = ErrOrDummy(err);
    e = 0;
    try {
        std::int32_t handle = -1;
        FCI_USHORT d = 0;
        FCI_USHORT t = 0;
        FCI_USHORT a = 0;
        Self(pv).OpenSourceFile(name, d, t, a, handle, e);
        if (date != nullptr) {
            *date = d;
        }
        if (time != nullptr) {
            *time = t;
        }
        if (attribs != nullptr) {
            *attribs = a;
        }
        return e != 0 ? -1 : handle;
    } catch (...) {
        e = -1;
        return -1;
    }
}

void TMakeCab::NoteOpenedSource(std::int32_t handle, const std::string& name, std::int64_t size,
                                const std::timespec& modified, std::uint16_t mode) {
    statMode_ = mode;
    statHandle_ = handle;
    statName_ = name;
    statSize_ = size;
    statTime_ = modified;
}

bool TMakeCab::CheckSourceUnchanged(FCI_INT_PTR handle) {
    if (handle != statHandle_) {
        return true;
    }
    statHandle_ = -1;
    // Compared with the file as it was known when it was opened (for a scanned file, as the
    // scan's one look at it found it): written to meanwhile, the file is stored as it was read,
    // which may be a mix of its old and new contents (the read-back compares with those bytes,
    // so it cannot tell). Its permission bits are taken from here, after the last read.
    struct stat now {};
    if (::fstat(static_cast<int>(handle), &now) != 0) {
        return true;
    }
    if (!S_ISREG(now.st_mode)) {
        return false;
    }
    statMode_ = static_cast<std::uint16_t>(now.st_mode & 07777);
    const bool readOtherSize = sourceHandle_ == static_cast<std::int64_t>(handle) &&
                               sourceCrcKnown_ &&
                               sourceChecked_ != static_cast<std::uint64_t>(statSize_);
    bool changed = now.st_size != statSize_ || readOtherSize ||
                   now.st_mtim.tv_sec != statTime_.tv_sec ||
                   now.st_mtim.tv_nsec != statTime_.tv_nsec;
    // A scanned file may have changed between the scan and its open, not while it was read: its
    // last change (ctime, which no program can set) lies before the open, on the clock the
    // system stamps files with. It was read whole as it is now, and is recorded so.
    const bool changedBeforeOpen = changed && statOpenedAt_.tv_sec != 0 &&
                                   (now.st_ctim.tv_sec < statOpenedAt_.tv_sec ||
                                    (now.st_ctim.tv_sec == statOpenedAt_.tv_sec &&
                                     now.st_ctim.tv_nsec < statOpenedAt_.tv_nsec)) &&
                                   sourceHandle_ == static_cast<std::int64_t>(handle) &&
                                   sourceCrcKnown_ &&
                                   sourceChecked_ == static_cast<std::uint64_t>(now.st_size);
    if (changedBeforeOpen) {
        changed = false;
        statTime_ = now.st_mtim;
    }
    sourceChanged_ = sourceChanged_ || changed;
    return true;
}

void TMakeCab::OpenSourceFile(const std::string& name, std::uint16_t& date, std::uint16_t& time,
                              std::uint16_t& attribs, std::int32_t& handle, int& err) {
    // A file of the scan is opened relative to its folder, and what the scan's look at it found
    // (size, time, mode) is what the file is compared with after its last read. Any other file
    // (the catalog) is opened by its path first, so that its attributes, date and time come from
    // one fstat of what was opened. Only after a failed open does a look by path tell a file that
    // is gone (no report here, the library's error follows) from one that cannot be opened.
    const bool scanned = sourceScanned_ && name == addingSource_;
    std::timespec openedAt{};
    if (scanned && sourceFolderFd_ < 0) {
        errno = sourceFolderError_;
        handle = -1;
        err = LastError();
        if (err == 0) {
            err = -1;
        }
    } else if (scanned) {
        // The coarse clock is the one file times are stamped from (read without a system call).
        ::clock_gettime(CLOCK_REALTIME_COARSE, &openedAt);
        handle = FileHandler->CabOpenSource(sourceFolderFd_, sourceLeaf_, name, err);
    } else {
        handle = FileHandler->CabOpen(name, FCI_O_BINARY, 0, err, 1);
    }
    if (err != 0) {
        handle = -1;
        const int openError = err;
        const int savedErrno = errno;
        if (!fs::FileAttributes(name)) {
            attribs = 0xFFFF;
            err = LastError();
            if (err == 0) {
                err = -1;
            }
            return;
        }
        errno = savedErrno;
        err = openError;
        DoError(name, "", kErrOpeningFile, "0");
        return;
    }
    struct stat info {};
    bool statted = true;
    std::uint32_t attributes = 0;
    if (scanned) {
        info.st_size = static_cast<off_t>(sourceInfo_.Size);
        info.st_mtim.tv_sec = static_cast<time_t>(sourceInfo_.ModifiedSeconds);
        info.st_mtim.tv_nsec = static_cast<long>(sourceInfo_.ModifiedNanoseconds);
        info.st_mode = S_IFREG | sourceInfo_.Mode;
        attributes = sourceInfo_.Attributes;
    } else {
        statted = ::fstat(handle, &info) == 0;
        attributes = statted ? fs::PathAttributesFromMode(info.st_mode, name)
                             : fs::FileAttributes(name).value_or(0);
    }
    // 0x80 is the cabinet's UTF-8 name mark, not the system's "normal" attribute: it is set
    // only for the names the component stored as UTF-8.
    attribs = static_cast<std::uint16_t>(attributes & 0xFFFF & ~std::uint32_t{_A_NAME_IS_UTF});
    if (storedNameIsUtf_ && name == addingSource_) {
        attribs = static_cast<std::uint16_t>(attribs | _A_NAME_IS_UTF);
    }
    BeginSourceChecksum(handle);
    if (statted) {
        NoteOpenedSource(handle, name, static_cast<std::int64_t>(info.st_size), info.st_mtim,
                         static_cast<std::uint16_t>(info.st_mode & 07777));
        statOpenedAt_ = openedAt;
    }
    date = 0;
    time = 0;
    if (statted) {
        const std::uint32_t packed = ApplyDateAttribute(fs::DosDateTimeOf(info.st_mtim.tv_sec));
        date = static_cast<std::uint16_t>(packed >> 16);
        time = static_cast<std::uint16_t>(packed & 0xFFFF);
    }
    if (OnRead) {
        const std::uint32_t packed = (std::uint32_t{date} << 16) | time;
        CurrentEntry.DosDateTime = packed;
        CurrentEntry.DateTime = DosDateToDateTime(packed);
        CurrentEntry.Attributes = attribs;
        CurrentEntry.ArchiveName = ArchiveFile();
        CurrentEntry.PackedSize = 0;
        CurrentEntry.CRC = 0;
    }
}
