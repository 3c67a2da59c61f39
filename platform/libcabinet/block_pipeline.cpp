#include "platform/libcabinet/block_pipeline.h"

#include "platform/libcabinet/block_codec.h"

#include <cstdlib>
#include <new>
#include <system_error>

namespace ostrivane::cabinet {
namespace {

constexpr std::size_t kJobsPerThread = 4;
constexpr unsigned kMostThreads = 256;

} // namespace

std::shared_ptr<BlockData> BlockData::make() {
    auto data = std::make_shared<BlockData>();
    data->bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kBlockSize);
    return data;
}

unsigned blockThreadCount() {
    if (const char* text = std::getenv("OSTRIVANE_CAB_THREADS")) {
        const long wanted = std::strtol(text, nullptr, 10);
        if (wanted >= 1 && wanted <= static_cast<long>(kMostThreads)) {
            return static_cast<unsigned>(wanted);
        }
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : std::min(cores, kMostThreads);
}

BlockPipeline::BlockPipeline(unsigned threads, int level, unsigned reserve)
    : reserve_(reserve), window_(kJobsPerThread * threads) {
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
    jobDone_.wait(lock, [this] { return inOrder_.front()->done; });
    auto job = std::move(inOrder_.front());
    inOrder_.pop_front();
    return job;
}

void BlockPipeline::work(int level) {
    BlockEncoder encoder(level);
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
                job->dictionary ? job->dictionary->view() : std::span<const std::uint8_t>{};
            encoder.encode(job->type, job->input->view(), history, reserve_, job->record);
        } catch (const FciFailure& failure) {
            job->failure = failure;
        } catch (const std::bad_alloc&) {
            job->failure = FciFailure{FCIERR_ALLOC_FAIL, 0};
        }
        lock.lock();
        job->done = true;
        jobDone_.notify_all();
    }
}

} // namespace ostrivane::cabinet
