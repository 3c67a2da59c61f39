#include "platform/libcabinet/fci_context.h"

#include "platform/libcabinet/block_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace ostrivane::cabinet {
namespace {

constexpr FCI_UINT kFailedCount = static_cast<FCI_UINT>(-1);
constexpr std::uint64_t kLargestFile = UINT32_MAX;

// Failures after which the context's state cannot be trusted: every later call fails too.
bool leavesContextBroken(FCIERROR code) {
    return code == FCIERR_TEMP_FILE || code == FCIERR_MCI_FAIL || code == FCIERR_ALLOC_FAIL;
}

bool terminated(const char* text, std::size_t capacity) {
    return std::memchr(text, '\0', capacity) != nullptr;
}

bool namesFit(const CCAB& ccab) {
    return terminated(ccab.szDisk, sizeof ccab.szDisk) &&
           terminated(ccab.szCab, sizeof ccab.szCab) &&
           terminated(ccab.szCabPath, sizeof ccab.szCabPath);
}

const CCAB& validated(const CCAB& ccab) {
    if (!namesFit(ccab)) {
        throw FciFailure{FCIERR_CAB_FILE, ENAMETOOLONG};
    }
    if (ccab.cbReserveCFHeader > cabformat::kMostHeaderReserve ||
        ccab.cbReserveCFFolder > cabformat::kMostRecordReserve ||
        ccab.cbReserveCFData > cabformat::kMostRecordReserve) {
        throw FciFailure{FCIERR_CAB_FORMAT_LIMIT, EINVAL};
    }
    return ccab;
}

std::vector<char> writableCopy(const std::string& text) {
    return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

} // namespace

struct FciContext::Source {
    Source(const CallbackIo& io, FCI_INT_PTR opened) : handle(io, opened) {}
    CallbackHandle handle;
    std::uint64_t size = 0;
};

FciContext::FciContext(ERF* erf, const FciCallbacks& callbacks, const CCAB& ccab, void* context)
    : erf_(erf), callbacks_(callbacks), context_(context),
      ccab_(validated(ccab)), reserve_{ccab.cbReserveCFHeader, ccab.cbReserveCFFolder,
                                       ccab.cbReserveCFData},
      cabinetLimit_(ccab.cb == 0 ? CB_MAX_DISK : ccab.cb), folderThreshold_(ccab.cbFolderThresh),
      io_(callbacks.open, callbacks.read, callbacks.write, callbacks.close, callbacks.seek,
          callbacks.remove, context),
      data_(io_, callbacks.tempName), files_(io_, callbacks.tempName),
      pipeline_(blockThreadCount(), mszipLevel(), reserve_.data),
      folder_(pipeline_, data_, reserve_.data) {}

template <typename Body> FCI_BOOL FciContext::guarded(Body&& body) {
    FciFailure failure{FCIERR_NONE, 0};
    try {
        body();
        return kFciTrue;
    } catch (const FciFailure& caught) {
        failure = caught;
    } catch (const std::bad_alloc&) {
        failure = FciFailure{FCIERR_ALLOC_FAIL, ENOMEM};
    } catch (...) {
        failure = FciFailure{FCIERR_MCI_FAIL, 0};
    }
    if (leavesContextBroken(failure.code) && !broken_) {
        broken_ = failure;
    }
    erf_->erfOper = failure.code;
    erf_->erfType = failure.osError;
    erf_->fError = kFciTrue;
    return kFciFalse;
}

void FciContext::checkUsable() const {
    if (broken_) {
        throw *broken_;
    }
}

FCI_BOOL FciContext::addFile(const char* source, const char* name, bool execute,
                             PFNFCIGETNEXTCABINET nextCabinet, PFNFCISTATUS status,
                             PFNFCIGETOPENINFO openInfo, TCOMP type) {
    return guarded([&] {
        checkUsable();
        if (source == nullptr || openInfo == nullptr) {
            throw FciFailure{FCIERR_OPEN_SRC, EINVAL};
        }
        if (name == nullptr || std::strlen(name) > kLongestName) {
            throw FciFailure{FCIERR_CAB_FORMAT_LIMIT, ENAMETOOLONG};
        }
        const TCOMP kind = type & tcompMASK_TYPE;
        if (kind != tcompTYPE_NONE && kind != tcompTYPE_MSZIP) {
            throw FciFailure{FCIERR_BAD_COMPR_TYPE, 0};
        }
        const StatusSink sink(status, context_);
        FileEntry entry;
        entry.name = name;

        std::vector<char> sourceName = writableCopy(source);
        FCI_USHORT date = 0;
        FCI_USHORT time = 0;
        FCI_USHORT attributes = 0;
        int err = 0;
        const FCI_INT_PTR opened =
            openInfo(sourceName.data(), &date, &time, &attributes, &err, context_);
        if (opened == kNoHandle) {
            throw FciFailure{FCIERR_OPEN_SRC, err != 0 ? err : ENOENT};
        }
        Source file(io_, opened);
        entry.date = date;
        entry.time = time;
        entry.attributes = static_cast<std::uint16_t>(attributes | (execute ? _A_EXEC : 0));

        // The size is never asked for: the file is read to its end (a file that grows or shrinks
        // meanwhile is taken as it was read), bounded by what a folder and a file may hold.
        while (true) {
            const Placement placed = tryPlace(file, entry, kind, sink);
            if (placed == Placement::Placed) {
                break;
            }
            if (placed == Placement::FolderFull) {
                // Too large for what the open folder has left: a folder of its own.
                closeFolder(sink);
            } else {
                // The file does not fit beside the files already placed: it goes into the next
                // cabinet, whole, if the caller gives one.
                if (cabinet_.files == 0) {
                    throw FciFailure{FCIERR_CAB_FORMAT_LIMIT, EFBIG};
                }
                advanceCabinet(nextCabinet);
                writeCabinet(sink);
            }
            io_.seek(opened, 0, kSeekSet, FCIERR_READ_SRC);
        }
    });
}

bool FciContext::atEnd(Source& source, std::uint64_t got) {
    return static_cast<std::uint64_t>(
               io_.seek(source.handle.get(), 0, kSeekEnd, FCIERR_READ_SRC)) <= got;
}

std::uint64_t FciContext::sizeOf(Source& source, std::uint64_t position) {
    const auto size =
        static_cast<std::uint64_t>(io_.seek(source.handle.get(), 0, kSeekEnd, FCIERR_READ_SRC));
    io_.seek(source.handle.get(), static_cast<std::int64_t>(position), kSeekSet, FCIERR_READ_SRC);
    return size;
}

bool FciContext::moreToRead(Source& source) {
    std::uint8_t probe = 0;
    int err = 0;
    const FCI_UINT count = io_.read(source.handle.get(), &probe, 1, err);
    if (count == kFailedCount || count > 1) {
        throw FciFailure{FCIERR_READ_SRC, err != 0 ? err : EIO};
    }
    return count == 1 || (err != 0 && !atEnd(source, source.size));
}

FciContext::Placement FciContext::tryPlace(Source& source, FileEntry& entry, TCOMP type,
                                           const StatusSink& status) {
    if (!cabinet_.started) {
        cabinet_.started = true;
        cabinet_.params = ccab_;
    }
    if (cabinet_.files >= cabformat::kMostFilesPerCabinet || !prepareFolder(type, status)) {
        return Placement::NextCabinet;
    }
    const std::uint64_t entryBytes = fileEntrySize(entry.name);
    const std::uint64_t folderRoom = kMostFolderBytes - folder_.uncompressed();
    const std::uint64_t limit = std::min<std::uint64_t>(folderRoom, kLargestFile);
    const BlockWritten written = [&status](std::uint32_t compressed, std::uint32_t plain) {
        status.blockDone(compressed, plain);
    };
    const StatusSink quiet = status.quiet();
    const BlockWritten writtenQuietly = [&quiet](std::uint32_t compressed, std::uint32_t plain) {
        quiet.blockDone(compressed, plain);
    };

    const FolderSnapshot snapshot = folder_.snapshot();
    entry.folderOffset = static_cast<std::uint32_t>(folder_.uncompressed());
    entry.folder = static_cast<std::uint16_t>(cabinet_.folders.size());
    bool fits = true;
    bool folderFull = false;
    try {
        std::uint64_t got = 0;
        while (got < limit) {
            const std::span<std::uint8_t> room = folder_.freeSpace();
            const auto ask =
                static_cast<FCI_UINT>(std::min<std::uint64_t>(room.size(), limit - got));
            int err = 0;
            const FCI_UINT count = io_.read(source.handle.get(), room.data(), ask, err);
            if (count == kFailedCount || count > ask) {
                throw FciFailure{FCIERR_READ_SRC, err != 0 ? err : EIO};
            }
            // Nothing read is the end of the file, unless the callback reports an error (a
            // cancel, an I/O error). A caller that mirrors the Windows handle routines leaves a
            // stale error on every short read, the last one included: only then is the size
            // asked for, to tell the end from a failure. A short read that delivers bytes says
            // nothing yet; the next read tells.
            if (count == 0) {
                if (err != 0 && !atEnd(source, got)) {
                    throw FciFailure{FCIERR_READ_SRC, err};
                }
                break;
            }
            // A first read that fills all it asked for may belong to a file too large for a
            // folder: only then is its size asked for, so that such a file is refused before
            // anything of it is written (a small file is never asked).
            if (got == 0 && count == ask) {
                const std::uint64_t size = sizeOf(source, count);
                if (size > kMostFolderBytes) {
                    throw FciFailure{FCIERR_CAB_FORMAT_LIMIT, EFBIG};
                }
                if (size > folderRoom) {
                    folderFull = true;
                    fits = false;
                    break;
                }
            }
            got += count;
            source.size = got;
            folder_.commit(count, written);
            if (cabinetBytes(entryBytes, true) + data_.size() > cabinetLimit_) {
                fits = false;
                break;
            }
        }
        if (fits && !folderFull && got == limit && moreToRead(source)) {
            // Grown past what a file may be, or than the open folder has room for.
            if (limit == kLargestFile || folderRoom == kMostFolderBytes) {
                throw FciFailure{FCIERR_CAB_FORMAT_LIMIT, EFBIG};
            }
            folderFull = true;
            fits = false;
        }
        fits = fits && fitsAfterFile(entryBytes, status);
        // The source is closed before it is placed: a caller that finds, as it closes it, that
        // it was no file to take (it turned into a folder or a FIFO since it was chosen) fails
        // the close, and the file is undone.
        if (fits && !source.handle.release()) {
            throw FciFailure{FCIERR_READ_SRC, EIO};
        }
        if (fits) {
            entry.size = static_cast<std::uint32_t>(got);
            std::vector<char> placedName = writableCopy(entry.name);
            if (callbacks_.filePlaced(&ccab_, placedName.data(), static_cast<long>(got), kFciFalse,
                                      context_) == -1) {
                throw FciFailure{FCIERR_USER_ABORT, 0};
            }
            const std::vector<std::uint8_t> record = fileEntryBytes(entry);
            files_.append(record.data(), record.size());
            ++cabinet_.files;
            folder_.noteFileAdded();
        }
    } catch (const FciFailure& failure) {
        if (!leavesContextBroken(failure.code)) {
            folder_.rollback(snapshot, writtenQuietly);
        }
        throw;
    }
    if (!fits) {
        folder_.rollback(snapshot, writtenQuietly);
        return folderFull ? Placement::FolderFull : Placement::NextCabinet;
    }
    return Placement::Placed;
}

bool FciContext::prepareFolder(TCOMP type, const StatusSink& status) {
    if (folder_.isOpen()) {
        const std::uint64_t used = folder_.uncompressed();
        const bool otherType = folder_.type() != type;
        const bool pastThreshold = used > 0 && used >= folderThreshold_;
        const bool noRoom = used >= kMostFolderBytes;
        if (otherType || pastThreshold || noRoom) {
            closeFolder(status);
        }
    }
    if (!folder_.isOpen()) {
        if (cabinet_.folders.size() >= cabformat::kMostFilesPerCabinet) {
            return false;
        }
        folder_.open(type);
    }
    return true;
}

void FciContext::closeFolder(const StatusSink& status) {
    if (!folder_.isOpen()) {
        return;
    }
    folder_.close([&status](std::uint32_t compressed, std::uint32_t plain) {
        status.blockDone(compressed, plain);
    });
    if (folder_.files() > 0) {
        cabinet_.folders.push_back(FolderRecord{folder_.start(), data_.size() - folder_.start(),
                                                folder_.blocks(), folder_.type()});
        // A closed folder's records are in the data file, for a caller that reads them back
        // while the packing goes on.
        data_.flush();
    } else {
        data_.truncate(folder_.start());
    }
}

std::uint64_t FciContext::cabinetBytes(std::uint64_t extraFileBytes, bool withOpenFolder) const {
    const std::uint64_t folders = cabinet_.folders.size() + (withOpenFolder ? 1 : 0);
    return headerSize(reserve_) + folders * folderEntrySize(reserve_) + files_.size() +
           extraFileBytes;
}

bool FciContext::fitsAfterFile(std::uint64_t entryBytes, const StatusSink& status) {
    // Decided from exact sizes only, so that the split into cabinets does not depend on how far
    // the workers have got: the bound with every record in flight at its worst settles most
    // cases without waiting; near the limit the records in flight are waited for.
    const std::uint64_t fixed = cabinetBytes(entryBytes, true);
    if (fixed + data_.size() + folder_.outstandingWorst() <= cabinetLimit_) {
        return true;
    }
    folder_.drain([&status](std::uint32_t compressed, std::uint32_t plain) {
        status.blockDone(compressed, plain);
    });
    return fixed + data_.size() + folder_.pendingWorst() <= cabinetLimit_;
}

std::uint64_t FciContext::estimate() const {
    return cabinetBytes(0, folder_.isOpen() && folder_.files() > 0) + data_.size() +
           folder_.outstandingWorst();
}

void FciContext::advanceCabinet(PFNFCIGETNEXTCABINET nextCabinet) {
    const CCAB saved = ccab_;
    ++ccab_.iCab;
    const auto previousSize =
        static_cast<FCI_ULONG>(std::min<std::uint64_t>(estimate(), UINT32_MAX));
    if (nextCabinet == nullptr || !nextCabinet(&ccab_, previousSize, context_)) {
        ccab_ = saved;
        throw FciFailure{FCIERR_USER_ABORT, 0};
    }
    if (!namesFit(ccab_)) {
        ccab_ = saved;
        throw FciFailure{FCIERR_CAB_FILE, ENAMETOOLONG};
    }
    // The cabinet being completed belongs to the set the callback has just continued: it is
    // written with the set's ID as the callback left it, so that every cabinet of a set carries
    // one ID.
    cabinet_.params.setID = ccab_.setID;
}

void FciContext::writeCabinet(const StatusSink& status) {
    closeFolder(status);
    if (cabinet_.files == 0) {
        cabinet_ = Cabinet{};
        data_.clear();
        files_.clear();
        return;
    }
    const CCAB& params = cabinet_.params;
    const std::uint64_t fileBytes = files_.size();
    // Every cabinet of a set stands alone (no file spans two), so each is numbered 0 in its
    // header: libarchive refuses any other number as a multivolume cabinet. The set ID stays.
    const CabinetIdentity identity{params.setID, 0};
    const std::vector<std::uint8_t> head =
        headerBytes(identity, reserve_, cabinet_.folders, cabinet_.files, fileBytes, data_.size());
    const std::uint64_t total = head.size() + fileBytes + data_.size();
    if (total > UINT32_MAX) {
        throw FciFailure{FCIERR_CAB_FORMAT_LIMIT, EFBIG};
    }
    status.cabinetSize(total, total);

    const std::string path = std::string(params.szCabPath) + params.szCab;
    CallbackHandle cabinet(io_,
                           io_.open(path, FCI_O_CREAT | FCI_O_TRUNC | FCI_O_RDWR | FCI_O_BINARY,
                                    FCI_S_IREAD | FCI_S_IWRITE, FCIERR_CAB_FILE));
    try {
        io_.writeAll(cabinet.get(), head.data(), head.size(), FCIERR_CAB_FILE);
        files_.copyTo(cabinet.get(), 0, fileBytes, FCIERR_CAB_FILE);
        for (const FolderRecord& folder : cabinet_.folders) {
            data_.copyTo(cabinet.get(), folder.dataOffset, folder.dataLength, FCIERR_CAB_FILE,
                         [&status, &folder](std::uint64_t copied) {
                             status.folderCopied(copied, folder.dataLength);
                         });
        }
        if (!cabinet.release()) {
            throw FciFailure{FCIERR_CAB_FILE, EIO};
        }
    } catch (...) {
        // A cabinet cut short is no archive: it does not stay behind.
        cabinet.release();
        io_.remove(path);
        throw;
    }
    cabinet_ = Cabinet{};
    data_.clear();
    files_.clear();
}

FCI_BOOL FciContext::flushFolder(PFNFCISTATUS status) {
    return guarded([&] {
        checkUsable();
        closeFolder(StatusSink(status, context_));
    });
}

FCI_BOOL FciContext::flushCabinet(bool getNextCabinet, PFNFCIGETNEXTCABINET nextCabinet,
                                  PFNFCISTATUS status) {
    return guarded([&] {
        checkUsable();
        const StatusSink sink(status, context_);
        closeFolder(sink);
        if (cabinet_.files == 0) {
            // Nothing was added: no cabinet is written.
            return;
        }
        if (getNextCabinet) {
            advanceCabinet(nextCabinet);
            writeCabinet(sink);
        } else {
            writeCabinet(sink);
            ++ccab_.iCab;
        }
    });
}

} // namespace ostrivane::cabinet
