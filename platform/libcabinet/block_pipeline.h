// Worker threads that encode runs of blocks while the caller's thread reads the next ones. Jobs
// come back strictly in the order they were submitted; the workers touch no callback.
#pragma once

#include "platform/libcabinet/block_codec.h"
#include "platform/libcabinet/fci_failure.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace ostrivane::cabinet {

// Uncompressed bytes of one run (kRunSize at most), filled by the caller's thread and shared
// read-only once submitted.
struct BlockRun {
    PooledBuffer bytes;
    std::size_t size = 0;

    std::span<const std::uint8_t> view() const { return {bytes.get(), size}; }
    // The run's last block, the history of the run after it.
    std::span<const std::uint8_t> lastBlock() const;
};

struct BlockJob {
    std::uint64_t sequence = 0;
    TCOMP type = tcompTYPE_NONE;
    std::shared_ptr<const BlockRun> input;
    std::shared_ptr<const BlockRun> previous; // the folder's run before, or none
    EncodedRun encoded;                       // the CFDATA records, once done
    std::optional<FciFailure> failure;
    bool done = false;
};

// Threads to use: OSTRIVANE_CAB_THREADS when set to 1..256, else one per core, eight at most.
unsigned blockThreadCount();

class BlockPipeline {
public:
    BlockPipeline(unsigned threads, int level, unsigned reserve);
    BlockPipeline(const BlockPipeline&) = delete;
    BlockPipeline& operator=(const BlockPipeline&) = delete;
    ~BlockPipeline();

    // An empty run to fill, its buffer taken from the pipeline's pool.
    std::shared_ptr<BlockRun> newRun() const;

    // Jobs in flight at most before the caller waits.
    std::size_t window() const { return window_; }
    std::size_t inFlight() const;
    void submit(std::shared_ptr<BlockJob> job);
    bool frontDone() const;
    // Waits for the oldest job in flight and hands it back.
    std::shared_ptr<BlockJob> takeFront();

private:
    void work(int level);

    unsigned reserve_;
    std::size_t window_;
    std::shared_ptr<BufferPool> runs_;
    std::shared_ptr<BufferPool> records_;
    mutable std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable jobDone_;
    std::deque<std::shared_ptr<BlockJob>> waiting_;
    std::deque<std::shared_ptr<BlockJob>> inOrder_;
    // Whether the caller waits for the oldest job.
    bool awaited_ = false;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace ostrivane::cabinet
