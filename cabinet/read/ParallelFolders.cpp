#include "cabinet/read/ParallelFolders.h"

#include "cabinet/format/FileCatalog.h"
#include "cabinet/read/FolderDecoding.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// Bytes a folder decoded ahead holds for the caller at most, and the size of one hand-over.
constexpr std::size_t kHeldBytes = 4u << 20;
constexpr std::size_t kChunkBytes = 256u << 10;
// Folders decoded ahead of the one being taken, per thread.
constexpr std::size_t kAheadPerThread = 2;

struct Item {
    bool End = false;
    std::vector<std::uint8_t> Bytes;
    DecodedFile Result;
};

struct Task {
    std::uint16_t Folder = 0;
    std::vector<std::size_t> Files;
    std::deque<Item> Items;
    std::size_t Held = 0;
};

class Pool {
public:
    Pool(int fd, const CabinetDirectory& dir, std::vector<Task>& tasks, bool withBytes,
         ProvedSums* proved)
        : fd_(fd), dir_(dir), tasks_(tasks), withBytes_(withBytes), proved_(proved),
          ends_(FolderDataEnds(dir)) {}

    void Start(unsigned threads) {
        window_ = std::max<std::size_t>(1, threads * kAheadPerThread);
        for (unsigned i = 0; i < threads; ++i)
            threads_.emplace_back([this] { Work(); });
    }

    ~Pool() { Stop(); }

    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            stopped_ = true;
        }
        workReady_.notify_all();
        itemReady_.notify_all();
        if (proved_ != nullptr)
            proved_->Stop();
        for (std::thread& thread : threads_)
            thread.join();
        threads_.clear();
    }

    // The next item of task `t` for the caller; false when `keepGoing` said stop meanwhile.
    bool Take(std::size_t t, Item& item, const std::function<bool()>& keepGoing) {
        std::unique_lock<std::mutex> lock(mutex_);
        Task& task = tasks_[t];
        waitingFor_ = t;
        while (task.Items.empty()) {
            if (itemReady_.wait_for(lock, std::chrono::milliseconds(50)) ==
                    std::cv_status::timeout &&
                keepGoing && task.Items.empty()) {
                lock.unlock();
                const bool going = keepGoing();
                lock.lock();
                if (!going)
                    return false;
            }
        }
        waitingFor_ = SIZE_MAX;
        item = std::move(task.Items.front());
        task.Items.pop_front();
        const bool wasFull = task.Held >= kHeldBytes;
        task.Held -= item.Bytes.size();
        lock.unlock();
        if (wasFull)
            roomMade_.notify_all();
        return true;
    }

    // Task `t` is taken whole: a further one may be decoded.
    void Done(std::size_t t) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            taken_ = t + 1;
            tasks_[t].Items.clear();
        }
        workReady_.notify_all();
    }

private:
    void Work() {
        for (;;) {
            std::size_t t = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                workReady_.wait(lock, [this] {
                    return stop_ || (next_ < tasks_.size() && next_ < taken_ + window_);
                });
                if (stop_)
                    return;
                t = next_++;
            }
            Decode(tasks_[t]);
        }
    }

    void Put(Task& task, Item item) {
        std::unique_lock<std::mutex> lock(mutex_);
        roomMade_.wait(lock, [&] { return stop_ || task.Held < kHeldBytes || item.End; });
        task.Held += item.Bytes.size();
        task.Items.push_back(std::move(item));
        // The caller is woken only when it waits for this very task.
        const bool wanted = waitingFor_ == static_cast<std::size_t>(&task - tasks_.data());
        lock.unlock();
        if (wanted)
            itemReady_.notify_one();
    }

    bool Stopped() const { return stopped_.load(std::memory_order_relaxed); }

    // The files of `task` told from the folder's proof, when its stored bytes are those proved.
    bool TakeProved(Task& task) {
        const FolderProof* proof =
            withBytes_ || proved_ == nullptr ? nullptr : proved_->Proof(task.Folder);
        if (proof == nullptr)
            return false;
        std::vector<const FolderProof::File*> found;
        for (const std::size_t index : task.Files) {
            const CabinetFileRecord& file = dir_.Files[index];
            found.push_back(proof->Find({file.FolderOffset, file.Size}));
            if (found.back() == nullptr)
                return false;
        }
        // Anything else is decoded as any folder, which tells the failure.
        if (!proved_->Holds(task.Folder, dir_))
            return false;
        for (const FolderProof::File* file : found) {
            Item end;
            end.End = true;
            end.Result = {{}, file->Crc64, file->Span.Size};
            Put(task, std::move(end));
        }
        return true;
    }

    void Decode(Task& task) {
        if (TakeProved(task))
            return;
        const auto going = [this] { return !Stopped(); };
        std::string failure;
        std::optional<FolderDecoding> decoding;
        try {
            decoding.emplace(fd_, dir_, task.Folder, ends_[task.Folder]);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        for (const std::size_t index : task.Files) {
            const CabinetFileRecord& file = dir_.Files[index];
            Item end;
            end.End = true;
            if (!failure.empty()) {
                end.Result.Problem = failure;
                Put(task, std::move(end));
                continue;
            }
            std::vector<std::uint8_t> chunk;
            try {
                bool halted = false;
                std::string problem =
                    decoding->Read(file.FolderOffset - decoding->Position(), {}, going, halted);
                if (halted)
                    return;
                if (!problem.empty()) {
                    end.Result.Problem = problem;
                } else {
                    std::uint64_t crc = 0;
                    std::uint64_t delivered = 0;
                    problem = decoding->Read(
                        file.Size,
                        [&](const std::uint8_t* bytes, std::size_t count) {
                            crc = ostrivane::cabformat::Crc64(crc, bytes, count);
                            delivered += count;
                            if (!withBytes_)
                                return;
                            chunk.insert(chunk.end(), bytes, bytes + count);
                            if (chunk.size() >= kChunkBytes) {
                                Item data;
                                data.Bytes = std::move(chunk);
                                chunk.clear();
                                Put(task, std::move(data));
                            }
                        },
                        going, halted);
                    if (halted)
                        return;
                    end.Result = {problem, crc, delivered};
                }
            } catch (const std::exception& error) {
                failure = error.what();
                end.Result.Problem = failure;
            }
            if (!chunk.empty()) {
                Item data;
                data.Bytes = std::move(chunk);
                Put(task, std::move(data));
            }
            Put(task, std::move(end));
        }
    }

    int fd_;
    const CabinetDirectory& dir_;
    std::vector<Task>& tasks_;
    bool withBytes_;
    ProvedSums* proved_;
    std::vector<std::uint64_t> ends_;
    std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable itemReady_;
    std::condition_variable roomMade_;
    std::vector<std::thread> threads_;
    std::size_t window_ = 1;
    std::size_t next_ = 0;
    std::size_t taken_ = 0;
    std::size_t waitingFor_ = SIZE_MAX;
    bool stop_ = false;
    std::atomic<bool> stopped_{false};
};

} // namespace

unsigned ParallelFolders::Threads() {
    if (const char* text = std::getenv("OSTRIVANE_READ_THREADS")) {
        const long value = std::strtol(text, nullptr, 10);
        if (value >= 1 && value <= 64)
            return static_cast<unsigned>(value);
    }
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

bool ParallelFolders::Orderly(const CabinetDirectory& dir, const std::vector<std::size_t>& files) {
    std::vector<bool> seen(dir.Folders.size(), false);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CabinetFileRecord& file = dir.Files[files[i]];
        if (file.Folder >= dir.Folders.size())
            return false;
        if (i > 0 && dir.Files[files[i - 1]].Folder == file.Folder) {
            if (dir.Files[files[i - 1]].FolderOffset > file.FolderOffset)
                return false;
            continue;
        }
        if (seen[file.Folder])
            return false;
        seen[file.Folder] = true;
    }
    return true;
}

bool ParallelFolders::Run(int fd, const CabinetDirectory& dir,
                          const std::vector<std::size_t>& files, bool withBytes,
                          const std::function<bool(std::size_t)>& begin,
                          const std::function<void(const std::uint8_t*, std::size_t)>& data,
                          const std::function<void(std::size_t, const DecodedFile&)>& end,
                          const std::function<bool()>& keepGoing, ProvedSums* proved) {
    std::vector<Task> tasks;
    for (const std::size_t index : files) {
        const std::uint16_t folder = dir.Files[index].Folder;
        if (tasks.empty() || tasks.back().Folder != folder)
            tasks.push_back(Task{folder, {}, {}, 0});
        tasks.back().Files.push_back(index);
    }
    Pool pool(fd, dir, tasks, withBytes, proved);
    pool.Start(std::min<unsigned>(Threads(),
                                  static_cast<unsigned>(std::max<std::size_t>(1, tasks.size()))));
    for (std::size_t t = 0; t < tasks.size(); ++t) {
        const std::vector<std::size_t> taskFiles = tasks[t].Files;
        for (const std::size_t index : taskFiles) {
            const bool wanted = begin(index);
            for (;;) {
                Item item;
                if (!pool.Take(t, item, keepGoing)) {
                    pool.Stop();
                    return false;
                }
                if (item.End) {
                    if (wanted)
                        end(index, item.Result);
                    break;
                }
                if (wanted && data)
                    data(item.Bytes.data(), item.Bytes.size());
                if (keepGoing && !keepGoing()) {
                    pool.Stop();
                    return false;
                }
            }
            if (keepGoing && !keepGoing()) {
                pool.Stop();
                return false;
            }
        }
        pool.Done(t);
    }
    return true;
}
