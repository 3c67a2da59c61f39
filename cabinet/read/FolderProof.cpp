#include "cabinet/read/FolderProof.h"

#include "cabinet/format/CabinetBytes.h"
#include "cabinet/format/FileCatalog.h"
#include "cabinet/read/FolderDecoding.h"
#include "platform/cabformat/CabinetFormat.h"

#include <algorithm>
#include <exception>
#include <memory>

namespace cf = ostrivane::cabformat;

namespace {

// The stored bytes are read front to back in reads of this size, the storage asked for them
// kReadAheadBytes ahead.
constexpr std::size_t kSumChunk = 1u << 20;

} // namespace

const FolderProof::File* FolderProof::Find(FolderFileSpan span) const {
    const auto found = std::lower_bound(
        Files.begin(), Files.end(), span.Offset,
        [](const File& file, std::uint32_t offset) { return file.Span.Offset < offset; });
    for (auto at = found; at != Files.end() && at->Span.Offset == span.Offset; ++at) {
        if (at->Span.Size == span.Size)
            return &*at;
    }
    return nullptr;
}

std::optional<FolderProof> ProveFolder(int fd, std::uint64_t start, std::uint64_t length,
                                       std::uint16_t blocks, std::uint16_t compression,
                                       std::uint8_t reserve,
                                       const std::vector<FolderFileSpan>& files,
                                       const std::function<bool()>& keepGoing) {
    const std::uint64_t end = start + length;
    if (length == 0 || blocks == 0 || end > UINT32_MAX)
        return std::nullopt;
    FolderProof proof{.StoredBytes = length,
                      .Blocks = blocks,
                      .Compression = compression,
                      .DataReserve = reserve,
                      .Files = {}};

    // The records decoded as a reader decodes a cabinet's folder, in one pass that also sums
    // their stored bytes.
    CabinetDirectory dir;
    dir.FileSize = end;
    dir.DataReserve = reserve;
    dir.Folders.push_back({static_cast<std::uint32_t>(start), blocks, compression});
    FolderDecoding decoding(fd, dir, 0, end);
    decoding.SumStoredBytes();
    bool halted = false;
    for (const FolderFileSpan& span : files) {
        if (span.Offset < decoding.Position())
            return std::nullopt;
        if (!decoding.Read(span.Offset - decoding.Position(), {}, keepGoing, halted).empty() ||
            halted)
            return std::nullopt;
        std::uint64_t crc = 0;
        const std::string problem = decoding.Read(
            span.Size,
            [&crc](const std::uint8_t* bytes, std::size_t count) {
                crc = cf::Crc64(crc, bytes, count);
            },
            keepGoing, halted);
        if (!problem.empty() || halted)
            return std::nullopt;
        proof.Files.push_back({span, crc});
    }
    // The last file ends in the last record, and the last record at the end.
    if (decoding.BlocksDecoded() != blocks || decoding.StoredPosition() != end)
        return std::nullopt;
    proof.StoredCrc64 = decoding.StoredCrc64();
    return proof;
}

void SumStoredRanges(int fd, const std::vector<StoredRange>& ranges,
                     const std::function<void(std::size_t, std::optional<std::uint64_t>)>& summed,
                     const std::function<bool()>& keepGoing) {
    if (ranges.empty())
        return;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kSumChunk]);
    std::size_t next = 0; // the first range not summed yet
    std::uint64_t crc = 0;
    std::uint64_t at = ranges.front().Begin;
    const std::uint64_t last = ranges.back().End;
    std::uint64_t asked = at; // the bytes before it are asked for
    while (next < ranges.size() && at < last) {
        if (keepGoing && !keepGoing())
            return;
        at = std::max(at, ranges[next].Begin);
        if (asked < last && asked < at + kReadAheadBytes / 2) {
            const std::uint64_t to = std::min(last, at + kReadAheadBytes);
            ReadSoon(fd, std::max(asked, at), to);
            asked = to;
        }
        const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(kSumChunk, last - at));
        const std::size_t got = ReadAt(fd, at, buffer.get(), step);
        // Each range that begins or goes on in what was read takes its part of it.
        for (std::size_t used = 0; used < got && next < ranges.size();) {
            const StoredRange& range = ranges[next];
            const std::uint64_t here = at + used;
            if (here < range.Begin) {
                used += static_cast<std::size_t>(
                    std::min<std::uint64_t>(range.Begin - here, got - used));
                continue;
            }
            const auto part =
                static_cast<std::size_t>(std::min<std::uint64_t>(range.End - here, got - used));
            crc = cf::Crc64(crc, buffer.get() + used, part);
            used += part;
            if (here + part == range.End) {
                summed(next++, crc);
                crc = 0;
            }
        }
        if (got < step)
            break;
        at += got;
    }
    // What the file did not hold (cut short, or an error) is not there.
    for (; next < ranges.size(); ++next)
        summed(next, std::nullopt);
}

ProvedSums::ProvedSums(int fd, const CabinetDirectory& folders,
                       std::vector<const FolderProof*> proved)
    : proved_(std::move(proved)), ends_(FolderDataEnds(folders)), sums_(folders.Folders.size()),
      summed_(folders.Folders.size(), false) {
    proved_.resize(folders.Folders.size(), nullptr);
    for (std::size_t f = 0; f < folders.Folders.size(); ++f) {
        if (proved_[f] != nullptr)
            order_.push_back(static_cast<std::uint16_t>(f));
    }
    std::sort(order_.begin(), order_.end(), [&folders](std::uint16_t a, std::uint16_t b) {
        return folders.Folders[a].DataOffset < folders.Folders[b].DataOffset;
    });
    std::vector<StoredRange> ranges;
    for (const std::uint16_t f : order_)
        ranges.push_back({folders.Folders[f].DataOffset, ends_[f]});
    if (!ranges.empty())
        summer_ = std::thread(
            [this, fd, ranges = std::move(ranges)]() mutable { Sum(fd, std::move(ranges)); });
}

ProvedSums::~ProvedSums() {
    Stop();
    if (summer_.joinable())
        summer_.join();
}

void ProvedSums::Stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    ready_.notify_all();
}

const FolderProof* ProvedSums::Proof(std::uint16_t folder) const {
    return folder < proved_.size() ? proved_[folder] : nullptr;
}

void ProvedSums::Sum(int fd, std::vector<StoredRange> ranges) {
    try {
        SumStoredRanges(
            fd, ranges,
            [this](std::size_t index, std::optional<std::uint64_t> crc) {
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    sums_[order_[index]] = crc;
                    summed_[order_[index]] = true;
                }
                ready_.notify_all();
            },
            [this] { return !stopped_.load(); });
    } catch (const std::exception&) {
        // Out of memory: the folders not summed are decoded.
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const std::uint16_t f : order_)
            summed_[f] = true;
    }
    ready_.notify_all();
}

bool ProvedSums::Holds(std::uint16_t folder, const CabinetDirectory& dir) {
    const FolderProof* proof = Proof(folder);
    if (proof == nullptr || folder >= dir.Folders.size())
        return false;
    std::optional<std::uint64_t> storedCrc;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return stopped_.load() || summed_[folder]; });
        if (!summed_[folder])
            return false;
        storedCrc = sums_[folder];
    }
    const CabinetFolderRecord& record = dir.Folders[folder];
    const std::uint64_t end = ends_[folder];
    return record.DataBlocks == proof->Blocks && record.Compression == proof->Compression &&
           dir.DataReserve == proof->DataReserve && end >= record.DataOffset &&
           end - record.DataOffset == proof->StoredBytes && storedCrc &&
           *storedCrc == proof->StoredCrc64;
}
