#include "cabinet/format/CabinetLayout.h"

#include "cabinet/format/CabinetBytes.h"
#include "cabinet/format/CabinetHeader.h"
#include "cabinet/format/ReadReasons.h"
#include "platform/cabformat/CabinetFormat.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <numeric>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace ostrivane::cabformat;

// A stored name or cabinet name: at most 255 bytes before its terminating zero (a little more
// is accepted, since writers differ in how they count).
constexpr std::size_t kLongestText = kLongestName + 1;
constexpr std::uint64_t kToFolderEnd = std::numeric_limits<std::uint64_t>::max();

std::vector<std::uint8_t> BytesAt(int fd, std::uint64_t offset, std::uint64_t fileSize,
                                  std::uint64_t wanted) {
    const std::uint64_t available = offset < fileSize ? fileSize - offset : 0;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(wanted, available)));
    bytes.resize(ReadAt(fd, offset, bytes.data(), bytes.size()));
    return bytes;
}

// Little-endian fields read off a byte range; reading past its end clears Ok() and gives 0.
class Cursor {
public:
    explicit Cursor(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    bool Ok() const { return ok_; }
    std::size_t Position() const { return at_; }
    std::uint8_t U8() { return Take(1) ? bytes_[at_ - 1] : 0; }
    std::uint16_t U16() { return Take(2) ? LoadU16(bytes_.data() + at_ - 2) : 0; }
    std::uint32_t U32() { return Take(4) ? LoadU32(bytes_.data() + at_ - 4) : 0; }
    void Skip(std::size_t count) { Take(count); }
    // A zero-terminated text of at most kLongestText bytes.
    std::string Text() {
        const std::size_t end = std::min(bytes_.size(), at_ + kLongestText + 1);
        for (std::size_t i = at_; ok_ && i < end; ++i) {
            if (bytes_[i] == 0) {
                std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                                 bytes_.begin() + static_cast<std::ptrdiff_t>(i));
                at_ = i + 1;
                return text;
            }
        }
        ok_ = false;
        return {};
    }

private:
    bool Take(std::size_t count) {
        if (!ok_ || bytes_.size() - at_ < count) {
            ok_ = false;
            return false;
        }
        at_ += count;
        return true;
    }

    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

} // namespace

CabinetDirectory ReadCabinetDirectory(int fd, bool withFiles) {
    CabinetDirectory dir;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        dir.Problem = ostrivane::reasons::NotRegularFile();
        return dir;
    }
    dir.FileSize = static_cast<std::uint64_t>(info.st_size);
    // The fixed header, its reserve and the four texts of a set.
    const std::vector<std::uint8_t> head =
        BytesAt(fd, 0, dir.FileSize,
                kFixedHeaderBytes + kReserveSizesBytes + 0xFFFF + 4 * (kLongestText + 1));
    const std::optional<CabinetHeader> parsed = ParseCabinetHeader(head.data(), head.size());
    if (!parsed) {
        dir.Problem = head.size() >= sizeof kSignature && LoadU32(head.data()) == kSignature
                          ? ostrivane::reasons::HeaderCutShort()
                          : ostrivane::reasons::NotCabinet();
        return dir;
    }
    const std::uint32_t filesAt = parsed->FilesOffset;
    const std::uint16_t folderCount = parsed->Folders;
    const std::uint16_t fileCount = parsed->Files;
    dir.Flags = parsed->Flags;
    dir.SetID = parsed->SetID;
    dir.Index = parsed->Index;
    const std::uint8_t folderReserve = parsed->FolderReserve;
    dir.DataReserve = parsed->DataReserve;
    Cursor header(head);
    header.Skip(dir.Flags & kFlagReservePresent
                    ? kHeaderReserveAt + std::size_t{parsed->HeaderReserve}
                    : kFixedHeaderBytes);
    for (std::uint16_t flag : {kFlagPreviousCabinet, kFlagNextCabinet}) {
        if (dir.Flags & flag) {
            header.Text(); // cabinet name
            header.Text(); // disk name
        }
    }
    if (!header.Ok()) {
        dir.Problem = ostrivane::reasons::HeaderCutShort();
        return dir;
    }

    const std::size_t folderRecord = kFolderRecordBytes + std::size_t{folderReserve};
    const std::vector<std::uint8_t> folderBytes =
        BytesAt(fd, header.Position(), dir.FileSize, std::uint64_t{folderCount} * folderRecord);
    Cursor folders(folderBytes);
    for (std::uint16_t i = 0; i < folderCount; ++i) {
        CabinetFolderRecord folder;
        folder.DataOffset = folders.U32();
        folder.DataBlocks = folders.U16();
        folder.Compression = folders.U16();
        folders.Skip(folderReserve);
        dir.Folders.push_back(folder);
    }
    if (!folders.Ok()) {
        dir.Problem = ostrivane::reasons::FolderRecordsCutShort();
        dir.Folders.clear();
        return dir;
    }
    if (!withFiles)
        return dir;

    const std::vector<std::uint8_t> fileBytes =
        BytesAt(fd, filesAt, dir.FileSize,
                std::uint64_t{fileCount} * (kFileRecordBytes + kLongestText + 1));
    Cursor files(fileBytes);
    for (std::uint16_t i = 0; i < fileCount; ++i) {
        CabinetFileRecord file;
        file.Size = files.U32();
        file.FolderOffset = files.U32();
        file.Folder = files.U16();
        file.Date = files.U16();
        file.Time = files.U16();
        file.Attributes = files.U16();
        file.StoredName = files.Text();
        if (!files.Ok())
            break;
        dir.Files.push_back(std::move(file));
    }
    if (!files.Ok())
        dir.Problem = ostrivane::reasons::FileRecordsCutShort(dir.Files.size(), fileCount);
    return dir;
}

std::vector<std::uint64_t> FolderDataEnds(const CabinetDirectory& directory) {
    std::vector<std::uint64_t> starts;
    for (const CabinetFolderRecord& folder : directory.Folders)
        starts.push_back(folder.DataOffset);
    std::sort(starts.begin(), starts.end());
    std::vector<std::uint64_t> ends;
    for (const CabinetFolderRecord& folder : directory.Folders) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), folder.DataOffset);
        ends.push_back(next == starts.end() ? directory.FileSize : *next);
    }
    return ends;
}

std::vector<DamagedStretch> CheckDataBlocks(int fd, const CabinetDirectory& directory,
                                            const std::function<bool()>& keepGoing,
                                            bool& completed) {
    completed = true;
    std::vector<DamagedStretch> damage;
    // Folders in the order of their data: the blocks of one end where the next one's begin,
    // so that no byte is walked twice, however the records point.
    std::vector<std::uint16_t> order(directory.Folders.size());
    std::iota(order.begin(), order.end(), std::uint16_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::uint16_t a, std::uint16_t b) {
        return directory.Folders[a].DataOffset < directory.Folders[b].DataOffset;
    });
    const std::size_t recordHead = kDataRecordBytes + directory.DataReserve;
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const std::uint16_t f = order[rank];
        const CabinetFolderRecord& folder = directory.Folders[f];
        const std::uint64_t limit = rank + 1 < order.size()
                                        ? directory.Folders[order[rank + 1]].DataOffset
                                        : directory.FileSize;
        BlockStream stream(fd, folder.DataOffset, limit);
        std::uint64_t plain = 0;
        std::size_t block = 0;
        for (; block < folder.DataBlocks; ++block) {
            if (keepGoing && !keepGoing()) {
                completed = false;
                return damage;
            }
            const DataBlock taken =
                TakeDataBlock(stream, recordHead, block, folder.DataBlocks, folder.Compression);
            if (taken.Check == BlockCheck::CutShort) {
                damage.push_back(
                    {f, plain, kToFolderEnd, ostrivane::reasons::CabinetEndsInsideBlock(block)});
                break;
            }
            if (taken.Check == BlockCheck::Malformed) {
                damage.push_back(
                    {f, plain, kToFolderEnd, ostrivane::reasons::BlockMalformed(block), true});
                break;
            }
            if (taken.Check == BlockCheck::ChecksumError)
                damage.push_back(
                    {f, plain, plain + taken.Unpacked, ostrivane::reasons::BlockChecksum(block)});
            plain += taken.Unpacked;
        }
        if (block == folder.DataBlocks)
            damage.push_back({f, plain, kToFolderEnd, ostrivane::reasons::BlocksEndBeforeFile()});
    }
    std::stable_sort(damage.begin(), damage.end(),
                     [](const DamagedStretch& a, const DamagedStretch& b) {
                         return a.Folder != b.Folder ? a.Folder < b.Folder : a.Begin < b.Begin;
                     });
    return damage;
}

std::string DamageOf(const CabinetFileRecord& file, const CabinetDirectory& directory,
                     const std::vector<DamagedStretch>& damage) {
    if (file.Folder >= 0xFFFD)
        return ostrivane::reasons::ContinuedInAnotherCabinet();
    if (file.Folder >= directory.Folders.size())
        return ostrivane::reasons::NoSuchFolder();
    if (file.Size == 0)
        return {};
    const std::uint64_t begin = file.FolderOffset;
    const std::uint64_t end = begin + file.Size;
    // The first stretch of the file's folder that ends after the file begins.
    auto at = std::partition_point(damage.begin(), damage.end(), [&](const DamagedStretch& s) {
        return s.Folder < file.Folder || (s.Folder == file.Folder && s.End <= begin);
    });
    for (; at != damage.end() && at->Folder == file.Folder && at->Begin < end; ++at) {
        if (at->End > begin)
            return at->Reason;
    }
    return {};
}
