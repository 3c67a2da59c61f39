#include "cabinet/read/FolderProof.h"

#include "cabinet/format/CabinetBytes.h"
#include "cabinet/format/FileCatalog.h"
#include "cabinet/read/FolderDecoding.h"
#include "platform/cabformat/CabinetFormat.h"

#include <algorithm>
#include <fcntl.h>
#include <memory>

namespace cf = ostrivane::cabformat;

namespace {

// Stored bytes are summed in reads of this size.
constexpr std::size_t kSumChunk = 1u << 20;

// The CRC-64 of [start, start + length) of `fd`; nothing when the bytes are not all there.
std::optional<std::uint64_t> StoredCrc(int fd, std::uint64_t start, std::uint64_t length) {
    ::posix_fadvise(fd, static_cast<off_t>(start), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
    const auto chunk = static_cast<std::size_t>(
        std::min<std::uint64_t>(kSumChunk, std::max<std::uint64_t>(length, 1)));
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[chunk]);
    std::uint64_t crc = 0;
    for (std::uint64_t done = 0; done < length;) {
        const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, length - done));
        if (ReadAt(fd, start + done, buffer.get(), step) != step)
            return std::nullopt;
        crc = cf::Crc64(crc, buffer.get(), step);
        done += step;
    }
    return crc;
}

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
    FolderProof proof;
    proof.StoredBytes = length;
    proof.Blocks = blocks;
    proof.Compression = compression;
    proof.DataReserve = reserve;

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

bool HoldsProvedBytes(int fd, const CabinetDirectory& dir, std::uint16_t folder, std::uint64_t end,
                      const FolderProof& proof) {
    const CabinetFolderRecord& record = dir.Folders.at(folder);
    if (record.DataBlocks != proof.Blocks || record.Compression != proof.Compression ||
        dir.DataReserve != proof.DataReserve || end < record.DataOffset ||
        end - record.DataOffset != proof.StoredBytes)
        return false;
    const std::optional<std::uint64_t> crc = StoredCrc(fd, record.DataOffset, proof.StoredBytes);
    return crc && *crc == proof.StoredCrc64;
}
