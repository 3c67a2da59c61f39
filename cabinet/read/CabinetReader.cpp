#include "cabinet/read/CabinetReader.h"

#include "cabinet/format/CabinetBytes.h"
#include "cabinet/format/ReadReasons.h"
#include "cabinet/read/FolderDecoding.h"
#include "cabinet/read/ParallelFolders.h"
#include "platform/fs/UniqueFd.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace cf = ostrivane::cabformat;
namespace reasons = ostrivane::reasons;

namespace {

constexpr std::size_t kReadBlock = 256 * 1024;

struct ArchiveFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

std::string ArchiveError(archive* reader) {
    const char* text = reader != nullptr ? archive_error_string(reader) : nullptr;
    return text != nullptr && *text != '\0' ? text : reasons::DecompressorFailed();
}

// The cabinet `part` opened for reading; anything but a regular file is refused before it is
// opened, since opening a FIFO waits for a writer and opening a device may act on it.
UniqueFd OpenCabinet(const std::string& part, std::string& problem) {
    struct stat info {};
    if (::stat(part.c_str(), &info) != 0) {
        problem = reasons::SystemError(errno);
        return UniqueFd();
    }
    if (!S_ISREG(info.st_mode)) {
        problem = reasons::NotRegularFile();
        return UniqueFd();
    }
    UniqueFd fd(::open(part.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        problem = reasons::SystemError(errno);
    return fd;
}

CabinetEntry EntryOf(const std::string& part, const CabinetFileRecord& file) {
    CabinetEntry entry;
    entry.Part = part;
    entry.StoredName = file.StoredName;
    entry.Name = file.StoredName;
    std::replace(entry.Name.begin(), entry.Name.end(), '\\', '/');
    entry.Size = file.Size;
    entry.Date = file.Date;
    entry.Time = file.Time;
    entry.Attributes = file.Attributes;
    return entry;
}

// The index of the catalog's record among the directory's files, or -1. Our writer puts it last.
std::ptrdiff_t CatalogMember(const CabinetDirectory& dir) {
    for (std::size_t i = dir.Files.size(); i-- > 0;) {
        if (dir.Files[i].StoredName == cf::kCatalogName)
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

// A part's catalog, each of its file records paired with the catalog's entry for it.
struct PartCatalog {
    std::optional<cf::Catalog> Catalog;
    std::ptrdiff_t Member = -1;
    std::vector<const cf::CatalogEntry*> ForFile; // by the index of the file record
};

// The catalog of a part and the pairing; a catalog that cannot be trusted is told as a problem of
// the part, and its files are read as those of a cabinet without one.
PartCatalog PrepareCatalog(const std::string& part, int fd, const CabinetDirectory& dir,
                           CabinetVisitor& visitor) {
    PartCatalog prepared;
    prepared.Member = CatalogMember(dir);
    if (prepared.Member < 0)
        return prepared;
    std::string problem;
    std::optional<cf::Catalog> catalog = ReadPartCatalog(fd, dir, problem);
    if (!catalog) {
        visitor.PartProblem(part, reasons::CatalogDamaged(problem));
        return prepared;
    }
    prepared.ForFile.assign(dir.Files.size(), nullptr);
    auto next = catalog->Entries.begin();
    for (std::size_t i = 0; i < dir.Files.size(); ++i) {
        if (static_cast<std::ptrdiff_t>(i) == prepared.Member)
            continue;
        while (next != catalog->Entries.end() && next->Kind != cf::CatalogKind::File)
            ++next;
        if (next == catalog->Entries.end() || catalog->Name(*next) != dir.Files[i].StoredName ||
            next->Size != dir.Files[i].Size) {
            visitor.PartProblem(part, reasons::CatalogDisagrees());
            prepared.ForFile.clear();
            return prepared;
        }
        prepared.ForFile[i] = &*next++;
    }
    prepared.Catalog = std::move(catalog);
    return prepared;
}

// The problem of a file read with `crc` over `delivered` bytes: the reader's own, or a difference
// from the catalog's record.
std::string Checked(const CabinetEntry& entry, std::string problem, std::uint64_t crc,
                    std::uint64_t delivered) {
    if (!problem.empty() || entry.Recorded == nullptr)
        return problem;
    if (delivered != entry.Recorded->Size ||
        (entry.Recorded->Checksummed() && crc != entry.Recorded->Crc64))
        return reasons::DifferentFromCatalog();
    return {};
}

// After a part's files: the folders and links of its catalog.
void TellRecorded(const std::string& part, const PartCatalog& prepared, CabinetVisitor& visitor) {
    if (!prepared.Catalog)
        return;
    for (const cf::CatalogEntry& entry : prepared.Catalog->Entries) {
        if (entry.Kind != cf::CatalogKind::File)
            visitor.Recorded(part, *prepared.Catalog, entry);
    }
}

CabinetEntry EntryWithRecord(const std::string& part, const CabinetDirectory& dir,
                             const PartCatalog& prepared, std::size_t index) {
    CabinetEntry entry = EntryOf(part, dir.Files[index]);
    if (!prepared.ForFile.empty())
        entry.Recorded = prepared.ForFile[index];
    return entry;
}

// One part: the directory's files in order, each paired with the decompressor's next entry.
// libarchive lists a cabinet's files in the order of its file records; a disagreement in size
// means the two do not read the same directory, and the rest of the part is not trusted.
class PartReading {
public:
    PartReading(const std::string& part, int fd, CabinetVisitor& visitor,
                const std::function<bool()>& keepGoing)
        : part_(part), fd_(fd), visitor_(visitor), keepGoing_(keepGoing) {}

    // False when `keepGoing` stopped it.
    bool Run(const CabinetDirectory& dir, const std::vector<DamagedStretch>& damage,
             const PartCatalog& prepared) {
        const auto malformed = std::find_if(damage.begin(), damage.end(),
                                            [](const DamagedStretch& s) { return s.Malformed; });
        if (malformed != damage.end())
            stopped_ = reasons::NotRead(malformed->Reason);
        else
            OpenDecompressor();
        for (std::size_t i = 0; i < dir.Files.size(); ++i) {
            const CabinetFileRecord& file = dir.Files[i];
            if (static_cast<std::ptrdiff_t>(i) == prepared.Member) {
                // The catalog is read on its own; the decompressor only passes it.
                if (stopped_.empty() && NextHeader(file))
                    SkipData();
                continue;
            }
            CabinetEntry entry = EntryWithRecord(part_, dir, prepared, i);
            const bool wanted = visitor_.Wants(entry) && visitor_.Begin(entry);
            crc_ = 0;
            delivered_ = 0;
            std::string problem;
            if (stopped_.empty() && NextHeader(file)) {
                problem = wanted ? ReadData(entry) : SkipData();
                if (!running_)
                    return false;
            } else {
                problem = stopped_;
            }
            const std::string damaged = DamageOf(file, dir, damage);
            entry.Crc64 = crc_;
            if (wanted)
                visitor_.End(entry,
                             Checked(entry, damaged.empty() ? problem : damaged, crc_, delivered_));
        }
        return true;
    }

private:
    void OpenDecompressor() {
        reader_.reset(archive_read_new());
        if (!reader_ || archive_read_support_format_cab(reader_.get()) != ARCHIVE_OK ||
            ::lseek(fd_, 0, SEEK_SET) != 0 ||
            archive_read_open_fd(reader_.get(), fd_, kReadBlock) != ARCHIVE_OK) {
            stopped_ = reasons::NotRead(ArchiveError(reader_.get()));
        }
    }

    // Moves the decompressor to the entry of `file`; false (with stopped_ set) when it cannot.
    bool NextHeader(const CabinetFileRecord& file) {
        archive_entry* header = nullptr;
        const int result = archive_read_next_header(reader_.get(), &header);
        if (result == ARCHIVE_EOF) {
            stopped_ = reasons::NotRead(reasons::DecompressorEnded());
        } else if (result < ARCHIVE_WARN) {
            stopped_ = reasons::NotRead(ArchiveError(reader_.get()));
        } else if (archive_entry_size_is_set(header) &&
                   archive_entry_size(header) != static_cast<la_int64_t>(file.Size)) {
            stopped_ = reasons::NotRead(reasons::DecompressorDisagrees());
        }
        return stopped_.empty();
    }

    // Hands the entry's bytes to the visitor; the problem met, or "".
    std::string ReadData(const CabinetEntry& entry) {
        delivered_ = 0;
        crc_ = 0;
        bool wantsMore = visitor_.NeedsBytes();
        for (;;) {
            if (keepGoing_ && !keepGoing_()) {
                running_ = false;
                return {};
            }
            const void* bytes = nullptr;
            std::size_t count = 0;
            la_int64_t offset = 0;
            const int result = archive_read_data_block(reader_.get(), &bytes, &count, &offset);
            if (result == ARCHIVE_EOF)
                break;
            if (result < ARCHIVE_WARN) {
                const std::string error = ArchiveError(reader_.get());
                if (result == ARCHIVE_FATAL)
                    stopped_ = reasons::NotRead(reasons::CannotReadPast(entry.Name, error));
                return error;
            }
            if (offset != static_cast<la_int64_t>(delivered_)) {
                stopped_ = reasons::NotRead(reasons::DecompressorOutOfOrder());
                return reasons::DecompressorOutOfOrder();
            }
            delivered_ += count;
            crc_ = cf::Crc64(crc_, bytes, count);
            if (wantsMore && count > 0)
                wantsMore = visitor_.Data(static_cast<const std::uint8_t*>(bytes), count);
        }
        if (delivered_ != entry.Size)
            return reasons::OnlyPartRead(delivered_, entry.Size);
        return {};
    }

    std::string SkipData() {
        if (archive_read_data_skip(reader_.get()) == ARCHIVE_FATAL) {
            stopped_ = reasons::NotRead(ArchiveError(reader_.get()));
            return stopped_;
        }
        return {};
    }

    const std::string& part_;
    int fd_;
    CabinetVisitor& visitor_;
    const std::function<bool()>& keepGoing_;
    ArchivePtr reader_;
    std::string stopped_; // why the decompressor goes no further; "" while it does
    bool running_ = true;
    std::uint64_t crc_ = 0;
    std::uint64_t delivered_ = 0;
};

// One part read with the reader's own folder decoding, which checks every block it reads. A file
// after a damaged block of its folder is not read: its history cannot be trusted, and
// libarchive, which restores, reads no further either. The folders are decoded on every core
// when the files come folder by folder (as our writer and every usual one lays them out);
// otherwise one after another, the decoding of a folder starting again only when a file lies
// before the position reached.
class OwnPartReading {
public:
    OwnPartReading(const std::string& part, int fd, CabinetVisitor& visitor,
                   const std::function<bool()>& keepGoing, ProvedSums* proved)
        : part_(part), fd_(fd), visitor_(visitor), keepGoing_(keepGoing), proved_(proved) {}

    static bool Decodes(const CabinetDirectory& dir) {
        return std::all_of(dir.Folders.begin(), dir.Folders.end(),
                           [](const CabinetFolderRecord& folder) {
                               return FolderDecoding::Decodes(folder.Compression);
                           });
    }

    // False when `keepGoing` stopped it.
    bool Run(const CabinetDirectory& dir, const PartCatalog& prepared) {
        // The files whose bytes are decoded; the others (empty, in no folder of this cabinet,
        // not wanted) are told in their turn without decoding.
        std::vector<std::size_t> decoded; // in the order of the records
        std::vector<CabinetEntry> entries;
        entries.reserve(dir.Files.size());
        std::vector<bool> wanted(dir.Files.size(), false);
        for (std::size_t i = 0; i < dir.Files.size(); ++i) {
            entries.push_back(EntryWithRecord(part_, dir, prepared, i));
            if (static_cast<std::ptrdiff_t>(i) == prepared.Member)
                continue;
            wanted[i] = visitor_.Wants(entries[i]);
            if (wanted[i] && dir.Files[i].Size > 0 && DamageOf(dir.Files[i], dir, {}).empty())
                decoded.push_back(i);
        }
        if (!ParallelFolders::Orderly(dir, decoded))
            return RunInOrder(dir, entries, wanted);

        std::size_t told = 0; // the records before this one are told
        const auto tellUpTo = [&](std::size_t index) {
            for (; told < index; ++told) {
                if (!wanted[told] || std::binary_search(decoded.begin(), decoded.end(), told))
                    continue;
                const CabinetEntry& entry = entries[told];
                if (!visitor_.Begin(entry))
                    continue;
                const std::string problem = DamageOf(dir.Files[told], dir, {});
                visitor_.End(entry, Checked(entry, problem, 0, 0));
            }
        };
        bool wantsMore = false;
        const bool completed = ParallelFolders::Run(
            fd_, dir, decoded, visitor_.NeedsBytes(),
            [&](std::size_t index) {
                tellUpTo(index);
                told = std::max(told, index + 1);
                wantsMore = visitor_.Begin(entries[index]);
                return wantsMore;
            },
            [&](const std::uint8_t* bytes, std::size_t count) {
                if (wantsMore)
                    wantsMore = visitor_.Data(bytes, count);
            },
            [&](std::size_t index, const DecodedFile& result) {
                CabinetEntry& entry = entries[index];
                entry.Crc64 = result.Crc64;
                std::string problem =
                    result.Problem.empty() ? std::string() : reasons::NotRead(result.Problem);
                visitor_.End(entry, Checked(entry, problem, result.Crc64, result.Delivered));
            },
            keepGoing_, proved_);
        if (!completed)
            return false;
        tellUpTo(dir.Files.size());
        return true;
    }

private:
    bool RunInOrder(const CabinetDirectory& dir, const std::vector<CabinetEntry>& entries,
                    const std::vector<bool>& wanted) {
        for (std::size_t i = 0; i < dir.Files.size(); ++i) {
            const CabinetFileRecord& file = dir.Files[i];
            CabinetEntry entry = entries[i];
            if (!wanted[i] || !visitor_.Begin(entry))
                continue;
            // A folder the cabinet lacks, or one continued in another cabinet.
            std::string problem = DamageOf(file, dir, {});
            crc_ = 0;
            delivered_ = 0;
            if (problem.empty() && file.Size > 0) {
                bool halted = false;
                problem = ReadData(dir, file, halted);
                if (halted)
                    return false;
            }
            entry.Crc64 = crc_;
            visitor_.End(entry, Checked(entry, problem, crc_, delivered_));
        }
        return true;
    }

    std::string ReadData(const CabinetDirectory& dir, const CabinetFileRecord& file, bool& halted) {
        if (!decoding_ || decoding_->Folder() != file.Folder ||
            decoding_->Position() > file.FolderOffset)
            decoding_.emplace(fd_, dir, file.Folder);
        std::string problem =
            decoding_->Read(file.FolderOffset - decoding_->Position(), {}, keepGoing_, halted);
        if (!problem.empty())
            return reasons::NotRead(problem);
        if (halted)
            return {};
        bool wantsMore = visitor_.NeedsBytes();
        problem = decoding_->Read(
            file.Size,
            [&](const std::uint8_t* bytes, std::size_t count) {
                crc_ = cf::Crc64(crc_, bytes, count);
                delivered_ += count;
                if (wantsMore)
                    wantsMore = visitor_.Data(bytes, count);
            },
            keepGoing_, halted);
        return problem.empty() ? problem : reasons::NotRead(problem);
    }

    const std::string& part_;
    int fd_;
    CabinetVisitor& visitor_;
    const std::function<bool()>& keepGoing_;
    ProvedSums* proved_;
    std::optional<FolderDecoding> decoding_;
    std::uint64_t crc_ = 0;
    std::uint64_t delivered_ = 0;
};

} // namespace

std::optional<cf::Catalog> ReadPartCatalog(int fd, const CabinetDirectory& dir,
                                           std::string& problem) {
    problem.clear();
    const std::ptrdiff_t member = CatalogMember(dir);
    if (member < 0)
        return std::nullopt;
    const CabinetFileRecord& file = dir.Files[static_cast<std::size_t>(member)];
    problem = DamageOf(file, dir, {});
    if (!problem.empty())
        return std::nullopt;
    if (!FolderDecoding::Decodes(dir.Folders[file.Folder].Compression)) {
        problem = reasons::FolderCompressionUnknown();
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(file.Size);
    bool halted = false;
    FolderDecoding decoding(fd, dir, file.Folder);
    problem = decoding.Read(file.FolderOffset, {}, {}, halted);
    if (problem.empty())
        problem = decoding.Read(
            file.Size,
            [&bytes](const std::uint8_t* data, std::size_t count) {
                bytes.append(reinterpret_cast<const char*>(data), count); // NOLINT
            },
            {}, halted);
    if (!problem.empty())
        return std::nullopt;
    return cf::DecodeCatalog(std::move(bytes), problem);
}

std::optional<cf::Catalog> ReadPartCatalog(const std::string& path, std::string& problem) {
    const UniqueFd fd = OpenCabinet(path, problem);
    if (!fd.Valid())
        return std::nullopt;
    const CabinetDirectory dir = ReadCabinetDirectory(fd.Get());
    if (!dir.Problem.empty()) {
        problem = dir.Problem;
        return std::nullopt;
    }
    return ReadPartCatalog(fd.Get(), dir, problem);
}

namespace {

// The folders of `part` proved before it was written, their stored bytes summed from now on;
// nothing when none was proved.
std::unique_ptr<ProvedSums> ProvedFolders(const std::string& part, int fd,
                                          const CabinetVisitor& visitor) {
    const CabinetDirectory folders = ReadCabinetDirectory(fd, false);
    std::vector<const FolderProof*> proved(folders.Folders.size(), nullptr);
    bool any = false;
    for (std::size_t f = 0; folders.Problem.empty() && f < proved.size(); ++f) {
        proved[f] = visitor.Proved(part, static_cast<std::uint16_t>(f));
        any = any || proved[f] != nullptr;
    }
    if (!any)
        return nullptr;
    return std::make_unique<ProvedSums>(fd, folders, std::move(proved));
}

} // namespace

bool ReadCabinetSet(const std::vector<std::string>& parts, CabinetVisitor& visitor,
                    const std::function<bool()>& keepGoing, CabinetDecoder decoder) {
    for (const std::string& part : parts) {
        std::string problem;
        const UniqueFd fd = OpenCabinet(part, problem);
        if (!fd.Valid()) {
            visitor.PartProblem(part, problem);
            continue;
        }
        // Our own reading goes through the whole cabinet: the storage is asked for it at once,
        // its directory first, and the proved folders' bytes are summed while the rest of the
        // directory is read and the other folders decoded.
        std::unique_ptr<ProvedSums> proved;
        if (decoder == CabinetDecoder::Own) {
            ReadSoon(fd.Get(), 0, kReadAheadBytes);
            if (!visitor.NeedsBytes())
                proved = ProvedFolders(part, fd.Get(), visitor);
        }
        const CabinetDirectory dir = ReadCabinetDirectory(fd.Get());
        if (!dir.Problem.empty()) {
            visitor.PartProblem(part, dir.Problem);
            continue;
        }
        const PartCatalog prepared = PrepareCatalog(part, fd.Get(), dir, visitor);
        if (decoder == CabinetDecoder::Own && OwnPartReading::Decodes(dir)) {
            OwnPartReading reading(part, fd.Get(), visitor, keepGoing, proved.get());
            if (!reading.Run(dir, prepared))
                return false;
            TellRecorded(part, prepared, visitor);
            continue;
        }
        bool completed = true;
        const std::vector<DamagedStretch> damage =
            CheckDataBlocks(fd.Get(), dir, keepGoing, completed);
        if (!completed)
            return false;
        PartReading reading(part, fd.Get(), visitor, keepGoing);
        if (!reading.Run(dir, damage, prepared))
            return false;
        TellRecorded(part, prepared, visitor);
    }
    return true;
}

void ListCabinetSet(
    const std::vector<std::string>& parts, const std::function<void(const CabinetEntry&)>& entry,
    const std::function<void(const std::string& part, const std::string& problem)>& partProblem,
    const std::function<void(const std::string& part, const cf::Catalog&)>& catalog) {
    for (const std::string& part : parts) {
        std::string problem;
        const UniqueFd fd = OpenCabinet(part, problem);
        if (!fd.Valid()) {
            partProblem(part, problem);
            continue;
        }
        const CabinetDirectory dir = ReadCabinetDirectory(fd.Get());
        if (!dir.Problem.empty()) {
            partProblem(part, dir.Problem);
            continue;
        }
        // The catalog is read only for whoever asks for it; the member is hidden all the same.
        class Problems : public CabinetVisitor {
        public:
            explicit Problems(
                const std::function<void(const std::string&, const std::string&)>& tell)
                : tell_(tell) {}
            bool Begin(const CabinetEntry&) override { return false; }
            bool Data(const std::uint8_t*, std::size_t) override { return false; }
            void End(const CabinetEntry&, const std::string&) override {}
            void PartProblem(const std::string& part, const std::string& problem) override {
                tell_(part, problem);
            }

        private:
            const std::function<void(const std::string&, const std::string&)>& tell_;
        } problems(partProblem);
        PartCatalog prepared;
        if (catalog) {
            prepared = PrepareCatalog(part, fd.Get(), dir, problems);
            if (prepared.Catalog)
                catalog(part, *prepared.Catalog);
        } else {
            prepared.Member = CatalogMember(dir);
        }
        for (std::size_t i = 0; i < dir.Files.size(); ++i) {
            if (static_cast<std::ptrdiff_t>(i) != prepared.Member)
                entry(EntryWithRecord(part, dir, prepared, i));
        }
    }
}
