// The data stream of the open folder: the files' bytes concatenated and cut into runs of
// kBlocksPerRun blocks of 32768 bytes, each run handed with its predecessor (whose last block is
// the history) to the block pipeline, and the finished CFDATA records appended in order to the
// data temporary file. A snapshot taken when a file begins lets an add that fails be undone
// exactly.
#pragma once

#include "platform/libcabinet/block_pipeline.h"
#include "platform/libcabinet/temp_store.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace ostrivane::cabinet {

// Told of every record written: its payload size and its uncompressed size.
using BlockWritten = std::function<void(std::uint32_t compressed, std::uint32_t uncompressed)>;

inline constexpr std::uint64_t kMostFolderBytes = cabformat::kFileSizeLimit;

struct FolderSnapshot {
    std::uint64_t sequence = 0;
    std::uint32_t blocks = 0;
    std::uint64_t uncompressed = 0;
    // The run being filled and how much of it was there: bytes before that mark are never
    // written again, so keeping the run is keeping them.
    std::shared_ptr<const BlockRun> pending;
    std::size_t pendingSize = 0;
    std::shared_ptr<const BlockRun> previous;
};

class FolderStream {
public:
    FolderStream(BlockPipeline& pipeline, TempStore& data, unsigned dataReserve)
        : pipeline_(pipeline), data_(data), reserve_(dataReserve) {}

    bool isOpen() const { return open_; }
    TCOMP type() const { return type_; }
    void open(TCOMP type);

    // Where the folder's records begin in the data file.
    std::uint64_t start() const { return start_; }
    std::uint32_t blocks() const { return blocks_; }
    std::uint64_t uncompressed() const { return uncompressed_; }
    std::uint32_t files() const { return files_; }
    void noteFileAdded() { ++files_; }

    // Room left in the run being filled; `commit` takes the bytes put there.
    std::span<std::uint8_t> freeSpace();
    void commit(std::size_t count, const BlockWritten& written);

    // Writes the finished records at the head of the pipeline without waiting.
    void writeFinished(const BlockWritten& written);
    // Waits for and writes every record in flight.
    void drain(const BlockWritten& written);
    // What the records in flight and the partial run can cost at most.
    std::uint64_t outstandingWorst() const { return inFlightWorst_ + pendingWorst(); }
    std::uint64_t pendingWorst() const;

    // Sends the partial run and writes everything; the folder is closed after.
    void close(const BlockWritten& written);

    FolderSnapshot snapshot();
    void rollback(const FolderSnapshot& snapshot, const BlockWritten& written);

private:
    void submitPending(const BlockWritten& written);
    void write(const BlockJob& job, const BlockWritten& written);

    BlockPipeline& pipeline_;
    TempStore& data_;
    unsigned reserve_;

    bool open_ = false;
    TCOMP type_ = tcompTYPE_NONE;
    std::uint64_t start_ = 0;
    std::uint32_t blocks_ = 0;
    std::uint64_t uncompressed_ = 0;
    std::uint32_t files_ = 0;
    std::shared_ptr<BlockRun> pending_;
    std::shared_ptr<const BlockRun> previous_;

    std::uint64_t nextSequence_ = 0;
    std::uint64_t writtenSequence_ = 0;
    std::uint64_t inFlightWorst_ = 0;
    std::uint64_t rollbackSequence_ = 0;
    std::uint64_t rollbackLength_ = 0;
};

} // namespace ostrivane::cabinet
