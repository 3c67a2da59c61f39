#include "cabinet/component/FolderProver.h"

#include "platform/fs/RemoveOnTermination.h"

#include <algorithm>
#include <exception>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The worker runs at the lowest priority (nice 19): it takes the time the packing leaves idle, and
// only a small share beside busy threads (a policy of idle time alone would leave every folder to
// the read-back on a machine kept busy by other work).
void LowestPriority() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
}

} // namespace

FolderProver::~FolderProver() {
    Stop();
    Join();
}

void FolderProver::Join() {
    if (worker_.joinable())
        worker_.join();
    for (std::thread& helper : helpers_)
        helper.join();
    helpers_.clear();
}

void FolderProver::Begin() {
    Stop();
    Join();
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
    stopping_ = false;
    proofs_.clear();
    jobs_.clear();
    data_.reset();
}

void FolderProver::UseDataFile(const std::string& path) {
    auto fd = std::make_shared<UniqueFd>(
        path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    const std::lock_guard<std::mutex> lock(mutex_);
    data_.reset();
    if (fd->Valid())
        data_ = std::move(fd);
}

void FolderProver::Prove(Folder folder) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stop_ || !data_)
            return;
        jobs_.push_back({std::move(folder), data_, generation_.load()});
        if (!worker_.joinable()) {
            // Like the library's workers, this one keeps the termination signals held back.
            const ostrivane::fs::TerminationDeferred onTheCallersThreadOnly;
            worker_ = std::thread([this] { Work(true); });
        }
    }
    ready_.notify_one();
}

void FolderProver::Hurry(unsigned threads) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stop_ || !helpers_.empty())
        return;
    const ostrivane::fs::TerminationDeferred onTheCallersThreadOnly;
    for (std::size_t i = 0; i < std::min<std::size_t>(threads, jobs_.size()); ++i)
        helpers_.emplace_back([this] { Work(true); });
}

void FolderProver::ProveFromCabinet(UniqueFd written, std::size_t cabinet,
                                    const std::vector<std::uint64_t>& starts) {
    auto fd = std::make_shared<const UniqueFd>(std::move(written));
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        // The folders under way stop between two blocks and start again from the cabinet with
        // those waiting.
        data_.reset();
        const std::uint64_t generation = ++generation_;
        std::deque<Job> moved;
        const auto move = [&](Folder folder) {
            const auto [part, index] = folder.Place;
            if (!fd->Valid() || part != cabinet || index >= starts.size())
                return;
            folder.Start = starts[index];
            moved.push_back({std::move(folder), fd, generation});
        };
        for (const auto& [serial, taken] : underWay_)
            move(taken);
        for (Job& job : jobs_)
            move(std::move(job.Place));
        jobs_ = std::move(moved);
    }
    ready_.notify_all();
}

void FolderProver::DataOverwritten() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    jobs_.clear();
}

std::size_t FolderProver::Count() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return proofs_.size();
}

FolderProver::Proofs FolderProver::Stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        stopping_ = true;
        jobs_.clear();
    }
    ready_.notify_all();
    // The worker notices between two blocks and ends on its own; it is joined by the next
    // build, so that the read-back never waits for a thread of the lowest priority.
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::move(proofs_);
}

bool FolderProver::Current(std::uint64_t generation) const {
    return !stopping_.load() && generation_.load() == generation;
}

void FolderProver::Work(bool lowest) {
    if (lowest)
        LowestPriority();
    for (;;) {
        Job job;
        std::uint64_t serial = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            underWay_.emplace(serial = ++serials_, job.Place);
        }
        const Folder& folder = job.Place;
        std::optional<FolderProof> proof;
        try {
            proof = ProveFolder(job.Data->Get(), folder.Start, folder.Length, folder.Blocks,
                                folder.Compression, folder.DataReserve, folder.Files,
                                [this, &job] { return Current(job.Generation); });
        } catch (const std::exception&) {
            // Out of memory: the folder stays unproved, for the read-back to decode.
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        underWay_.erase(serial);
        // Counted only when every read came before the records could be written over.
        if (proof && !stop_ && generation_.load() == job.Generation)
            proofs_.emplace(folder.Place, std::move(*proof));
    }
}
