// A folder proved before it reached its cabinet: its data records read from the file they were
// written to first, every record's checksum and inflate checked, each file's CRC-64 taken, and a
// CRC-64 of the records' stored bytes. A later reading of the cabinet that finds exactly those
// stored bytes (the same length, block count, compression and CRC-64) knows what they decode to
// without inflating them again; anything else is decoded in full.
#pragma once

#include "cabinet/format/CabinetLayout.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// A file's bytes in its folder's uncompressed data.
struct FolderFileSpan {
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
};

struct FolderProof {
    struct File {
        FolderFileSpan Span;
        std::uint64_t Crc64 = 0;
    };
    std::uint64_t StoredBytes = 0; // of the data records, heads included
    std::uint64_t StoredCrc64 = 0;
    std::uint16_t Blocks = 0;
    std::uint16_t Compression = 0; // the folder record's field
    std::uint8_t DataReserve = 0;
    std::vector<File> Files; // in the order of their offsets

    // The proved file at `span`, or nullptr.
    const File* Find(FolderFileSpan span) const;
};

// Proves the folder whose `blocks` data records fill [start, start + length) of `fd` exactly,
// with record heads carrying `reserve` bytes, for the files `files` (in the order of their
// offsets, the last one ending in the last record). Nothing when a record is damaged, the
// records are not exactly those, a file cannot be read whole, or `keepGoing` (asked between
// blocks) says stop. The bytes must not change meanwhile.
std::optional<FolderProof> ProveFolder(int fd, std::uint64_t start, std::uint64_t length,
                                       std::uint16_t blocks, std::uint16_t compression,
                                       std::uint8_t reserve,
                                       const std::vector<FolderFileSpan>& files,
                                       const std::function<bool()>& keepGoing);

// A stretch [Begin, End) of a cabinet's bytes.
struct StoredRange {
    std::uint64_t Begin = 0;
    std::uint64_t End = 0;
};

// Reads the file open as `fd` once, front to back, from the first of `ranges` (sorted, none
// overlapping) to the end of the last, and tells `summed` each range's CRC-64 (by its index) as
// soon as its last byte is read; nothing for a range the file does not hold whole. `keepGoing`
// is asked between reads; false ends it with nothing more told.
void SumStoredRanges(int fd, const std::vector<StoredRange>& ranges,
                     const std::function<void(std::size_t, std::optional<std::uint64_t>)>& summed,
                     const std::function<bool()>& keepGoing);

// The proved folders of a cabinet, their stored bytes summed front to back (SumStoredRanges)
// on a thread of its own from the moment it is made, while the caller reads the directory and
// decodes the rest.
class ProvedSums {
public:
    // `folders`: the cabinet's directory, its folder records at least; `proved`: by folder,
    // nullptr for a folder without a proof.
    ProvedSums(int fd, const CabinetDirectory& folders, std::vector<const FolderProof*> proved);
    ProvedSums(const ProvedSums&) = delete;
    ProvedSums& operator=(const ProvedSums&) = delete;
    ~ProvedSums();

    const FolderProof* Proof(std::uint16_t folder) const;
    // Whether folder `folder` (of `dir`, the same cabinet's directory) holds exactly the stored
    // bytes its proof proved: its record agrees, and its bytes read from the file have the
    // proof's length and CRC-64. Waits for its sum; false once stopped.
    bool Holds(std::uint16_t folder, const CabinetDirectory& dir);
    // Ends the summing; a Holds waiting returns false.
    void Stop();

private:
    void Sum(int fd, std::vector<StoredRange> ranges);

    std::vector<const FolderProof*> proved_;
    std::vector<std::uint16_t> order_; // the proved folders, by their place in the file
    std::vector<std::uint64_t> ends_;  // by folder: where its data ends
    std::vector<std::optional<std::uint64_t>> sums_;
    std::vector<bool> summed_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::atomic<bool> stopped_{false};
    std::thread summer_;
};
