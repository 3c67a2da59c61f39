#include "cabinet/read/CabinetReader.h"

#include "cabinet/read/FolderDecoding.h"
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

namespace {

constexpr std::size_t kReadBlock = 256 * 1024;

struct ArchiveFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

std::string ArchiveError(archive* reader) {
    const char* text = reader != nullptr ? archive_error_string(reader) : nullptr;
    return text != nullptr && *text != '\0' ? text : "the decompressor failed";
}

// The cabinet `part` opened for reading; anything but a regular file is refused before it is
// opened, since opening a FIFO waits for a writer and opening a device may act on it.
UniqueFd OpenCabinet(const std::string& part, std::string& problem) {
    struct stat info {};
    if (::stat(part.c_str(), &info) != 0) {
        problem = std::strerror(errno);
        return UniqueFd();
    }
    if (!S_ISREG(info.st_mode)) {
        problem = "not a regular file";
        return UniqueFd();
    }
    UniqueFd fd(::open(part.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        problem = std::strerror(errno);
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

// One part: the directory's files in order, each paired with the decompressor's next entry.
// libarchive lists a cabinet's files in the order of its file records; a disagreement in size
// means the two do not read the same directory, and the rest of the part is not trusted.
class PartReading {
public:
    PartReading(const std::string& part, int fd, CabinetVisitor& visitor,
                const std::function<bool()>& keepGoing)
        : part_(part), fd_(fd), visitor_(visitor), keepGoing_(keepGoing) {}

    // False when `keepGoing` stopped it.
    bool Run(const CabinetDirectory& dir, const std::vector<DamagedStretch>& damage) {
        const auto malformed = std::find_if(damage.begin(), damage.end(),
                                            [](const DamagedStretch& s) { return s.Malformed; });
        if (malformed != damage.end())
            stopped_ = "not read: " + malformed->Reason;
        else
            OpenDecompressor();
        for (const CabinetFileRecord& file : dir.Files) {
            const CabinetEntry entry = EntryOf(part_, file);
            const bool wanted = visitor_.Begin(entry);
            std::string problem;
            if (stopped_.empty() && NextHeader(file)) {
                problem = wanted ? ReadData(entry) : SkipData();
                if (!running_)
                    return false;
            } else {
                problem = stopped_;
            }
            const std::string damaged = DamageOf(file, dir, damage);
            if (wanted)
                visitor_.End(entry, damaged.empty() ? problem : damaged);
        }
        return true;
    }

private:
    void OpenDecompressor() {
        reader_.reset(archive_read_new());
        if (!reader_ || archive_read_support_format_cab(reader_.get()) != ARCHIVE_OK ||
            ::lseek(fd_, 0, SEEK_SET) != 0 ||
            archive_read_open_fd(reader_.get(), fd_, kReadBlock) != ARCHIVE_OK) {
            stopped_ = "not read: " + ArchiveError(reader_.get());
        }
    }

    // Moves the decompressor to the entry of `file`; false (with stopped_ set) when it cannot.
    bool NextHeader(const CabinetFileRecord& file) {
        archive_entry* header = nullptr;
        const int result = archive_read_next_header(reader_.get(), &header);
        if (result == ARCHIVE_EOF) {
            stopped_ = "not read: the decompressor found no more files in the cabinet";
        } else if (result < ARCHIVE_WARN) {
            stopped_ = "not read: " + ArchiveError(reader_.get());
        } else if (archive_entry_size_is_set(header) &&
                   archive_entry_size(header) != static_cast<la_int64_t>(file.Size)) {
            stopped_ = "not read: the decompressor reads the cabinet's directory differently";
        }
        return stopped_.empty();
    }

    // Hands the entry's bytes to the visitor; the problem met, or "".
    std::string ReadData(const CabinetEntry& entry) {
        std::uint64_t delivered = 0;
        bool wantsMore = true;
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
                    stopped_ = "not read: the cabinet cannot be read past " + entry.Name + " (" +
                               error + ")";
                return error;
            }
            if (offset != static_cast<la_int64_t>(delivered)) {
                stopped_ =
                    "not read: the decompressor gave the bytes of " + entry.Name + " out of order";
                return "the decompressor gave the bytes out of order";
            }
            delivered += count;
            if (wantsMore && count > 0)
                wantsMore = visitor_.Data(static_cast<const std::uint8_t*>(bytes), count);
        }
        if (delivered != entry.Size)
            return "only " + std::to_string(delivered) + " of " + std::to_string(entry.Size) +
                   " bytes could be read";
        return {};
    }

    std::string SkipData() {
        if (archive_read_data_skip(reader_.get()) == ARCHIVE_FATAL) {
            stopped_ = "not read: " + ArchiveError(reader_.get());
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
};

// One part read with the reader's own folder decoding, which checks every block it reads: the
// files in the order of their records, each one's bytes taken from its folder's decoding, which
// only starts again when a file lies before the position reached (a writer keeps each folder's
// files in order). A file after a damaged block of its folder is not read: its history cannot be
// trusted, and libarchive, which restores, reads no further either.
class OwnPartReading {
public:
    OwnPartReading(const std::string& part, int fd, CabinetVisitor& visitor,
                   const std::function<bool()>& keepGoing)
        : part_(part), fd_(fd), visitor_(visitor), keepGoing_(keepGoing) {}

    static bool Decodes(const CabinetDirectory& dir) {
        return std::all_of(dir.Folders.begin(), dir.Folders.end(),
                           [](const CabinetFolderRecord& folder) {
                               return FolderDecoding::Decodes(folder.Compression);
                           });
    }

    // False when `keepGoing` stopped it.
    bool Run(const CabinetDirectory& dir) {
        for (const CabinetFileRecord& file : dir.Files) {
            const CabinetEntry entry = EntryOf(part_, file);
            if (!visitor_.Begin(entry))
                continue;
            // A folder the cabinet lacks, or one continued in another cabinet.
            std::string problem = DamageOf(file, dir, {});
            if (problem.empty() && file.Size > 0) {
                bool halted = false;
                problem = ReadData(dir, file, halted);
                if (halted)
                    return false;
            }
            visitor_.End(entry, problem);
        }
        return true;
    }

private:
    std::string ReadData(const CabinetDirectory& dir, const CabinetFileRecord& file, bool& halted) {
        if (!decoding_ || decoding_->Folder() != file.Folder ||
            decoding_->Position() > file.FolderOffset)
            decoding_.emplace(fd_, dir, file.Folder);
        std::string problem =
            decoding_->Read(file.FolderOffset - decoding_->Position(), {}, keepGoing_, halted);
        if (!problem.empty())
            return "not read: " + problem;
        if (halted)
            return {};
        bool wantsMore = true;
        return decoding_->Read(
            file.Size,
            [&](const std::uint8_t* bytes, std::size_t count) {
                if (wantsMore)
                    wantsMore = visitor_.Data(bytes, count);
            },
            keepGoing_, halted);
    }

    const std::string& part_;
    int fd_;
    CabinetVisitor& visitor_;
    const std::function<bool()>& keepGoing_;
    std::optional<FolderDecoding> decoding_;
};

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
        const CabinetDirectory dir = ReadCabinetDirectory(fd.Get());
        if (!dir.Problem.empty()) {
            visitor.PartProblem(part, dir.Problem);
            continue;
        }
        if (decoder == CabinetDecoder::Own && OwnPartReading::Decodes(dir)) {
            OwnPartReading reading(part, fd.Get(), visitor, keepGoing);
            if (!reading.Run(dir))
                return false;
            continue;
        }
        bool completed = true;
        const std::vector<DamagedStretch> damage =
            CheckDataBlocks(fd.Get(), dir, keepGoing, completed);
        if (!completed)
            return false;
        PartReading reading(part, fd.Get(), visitor, keepGoing);
        if (!reading.Run(dir, damage))
            return false;
    }
    return true;
}

void ListCabinetSet(
    const std::vector<std::string>& parts, const std::function<void(const CabinetEntry&)>& entry,
    const std::function<void(const std::string& part, const std::string& problem)>& partProblem) {
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
        for (const CabinetFileRecord& file : dir.Files)
            entry(EntryOf(part, file));
    }
}
