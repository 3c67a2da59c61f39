#include "platform/libcabinet/block_pipeline.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <system_error>

namespace ostrivane::cabinet {
namespace {

constexpr std::size_t kJobsPerThread = 4;
constexpr unsigned kMostThreads = 256;
// Workers started by default at most: eight level-3 workers compress faster than one thread
// reads most disks, and each worker with its runs in flight holds about 2.5 MiB.
constexpr unsigned kMostDefaultThreads = 8;

} // namespace

std::span<const std::uint8_t> BlockRun::lastBlock() const {
    if (size == 0) {
        return {};
    }
    const std::size_t rest = size % kBlockBytes;
    const std::size_t length = rest == 0 ? kBlockBytes : rest;
    return {bytes.get() + size - length, length};
}

std::shared_ptr<BlockRun> BlockPipeline::newRun() const {
    auto run = std::make_shared<BlockRun>();
    run->bytes = PooledBuffer(runs_);
    return run;
}

unsigned blockThreadCount() {
    if (const char* text = std::getenv("OSTRIVANE_CAB_THREADS")) {
        const long wanted = std::strtol(text, nullptr, 10);
        if (wanted >= 1 && wanted <= static_cast<long>(kMostThreads)) {
            return static_cast<unsigned>(wanted);
        }
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : std::min(cores, kMostDefaultThreads);
}

BlockPipeline::BlockPipeline(unsigned threads, int level, unsigned reserve)
    : reserve_(reserve), window_(kJobsPerThread * threads),
      // Runs in flight, plus the one being filled, the history and a snapshot's; their records.
      runs_(std::make_shared<BufferPool>(kRunSize, window_ + 3)),
      records_(std::make_shared<BufferPool>(worstRunSize(kRunSize, reserve), window_ + 1)) {
    try {
        for (unsigned i = 0; i < threads; ++i) {
            workers_.emplace_back([this, level] { work(level); });
        }
    } catch (const std::system_error&) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        workReady_.notify_all();
        for (auto& worker : workers_) {
            worker.join();
        }
        throw FciFailure{FCIERR_ALLOC_FAIL, 0};
    }
}

BlockPipeline::~BlockPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    workReady_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

std::size_t BlockPipeline::inFlight() const {
    std::lock_guard lock(mutex_);
    return inOrder_.size();
}

void BlockPipeline::submit(std::shared_ptr<BlockJob> job) {
    {
        std::lock_guard lock(mutex_);
        inOrder_.push_back(job);
        waiting_.push_back(std::move(job));
    }
    workReady_.notify_one();
}

bool BlockPipeline::frontDone() const {
    std::lock_guard lock(mutex_);
    return !inOrder_.empty() && inOrder_.front()->done;
}

std::shared_ptr<BlockJob> BlockPipeline::takeFront() {
    std::unique_lock lock(mutex_);
    if (inOrder_.empty()) {
        return nullptr;
    }
    awaited_ = true;
    jobDone_.wait(lock, [this] { return inOrder_.front()->done; });
    awaited_ = false;
    auto job = std::move(inOrder_.front());
    inOrder_.pop_front();
    return job;
}

void BlockPipeline::work(int level) {
    // Made with the first job, so that a failed allocation fails that job instead of the thread.
    std::unique_ptr<RunEncoder> encoder;
    std::unique_lock lock(mutex_);
    for (;;) {
        workReady_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) {
            return;
        }
        auto job = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        try {
            const std::span<const std::uint8_t> history =
                job->previous ? job->previous->lastBlock() : std::span<const std::uint8_t>{};
            if (!encoder) {
                encoder = std::make_unique<RunEncoder>(level, records_);
            }
            encoder->encode(job->type, job->input->view(), history, reserve_, job->encoded);
        } catch (const FciFailure& failure) {
            job->failure = failure;
        } catch (const std::bad_alloc&) {
            job->failure = FciFailure{FCIERR_ALLOC_FAIL, 0};
        }
        lock.lock();
        job->done = true;
        // The caller is woken only once the job it waits for is done.
        if (awaited_ && inOrder_.front()->done) {
            jobDone_.notify_one();
        }
    }
}

} // namespace ostrivane::cabinet
