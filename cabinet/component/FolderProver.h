// Proves the folders of a build while the packing goes on: each folder the component closes is
// read back from the library's data file by a worker of the lowest priority, which takes only
// the time the packing leaves idle (cabinet/read/FolderProof). The read-back after the flush
// then checks for each proved folder that the cabinet on the disk holds the very bytes proved,
// and decodes only the folders left unproved. Once the cabinet is written, the folders still
// waiting are proved from the cabinet itself (ProveFromCabinet) while the data file is deleted
// and the cabinet synced.
//
// The library writes no byte of a closed folder's records until its cabinet is written; after
// that it may write the next cabinet's records over them. DataOverwritten says so: every proof
// of the bytes before is dropped, one under way included (a proof whose reads could have met
// the new bytes never counts).
#pragma once

#include "cabinet/read/FolderProof.h"
#include "platform/fs/UniqueFd.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class FolderProver {
public:
    // Folder `Folder` of the build's cabinet `Cabinet` (0 the first).
    using Key = std::pair<std::size_t, std::uint16_t>;
    using Proofs = std::map<Key, FolderProof>;

    struct Folder {
        Key Place;
        std::uint64_t Start = 0; // of its records in the data file
        std::uint64_t Length = 0;
        std::uint16_t Blocks = 0;
        std::uint16_t Compression = 0;
        std::uint8_t DataReserve = 0;
        std::vector<FolderFileSpan> Files;
    };

    FolderProver() = default;
    FolderProver(const FolderProver&) = delete;
    FolderProver& operator=(const FolderProver&) = delete;
    ~FolderProver();

    // A new build: the worker of the last one has ended, every proof is forgotten.
    void Begin();
    // The library's data file from now on (opened here; "" or a file that cannot be opened:
    // nothing more is proved).
    void UseDataFile(const std::string& path);
    // Hands a closed folder over.
    void Prove(Folder folder);
    // The data file's records may be written over from now on.
    void DataOverwritten();
    // The packing is over: more workers of the lowest priority, one per core as the read-back
    // has, join the first one for the folders still waiting, in the time the writing and the
    // sync of the cabinet leave idle.
    void Hurry(unsigned threads);
    // The data file is about to be deleted and the build's cabinet `cabinet` is written, open
    // as `written`, the records of its folder k at `starts[k]`: its folders still waiting are
    // proved from there; the data file is let go, any other folder waiting stays unproved.
    void ProveFromCabinet(UniqueFd written, std::size_t cabinet,
                          const std::vector<std::uint64_t>& starts);
    // The folders proved so far.
    std::size_t Count();
    // Ends the proving (the folder under way and those waiting stay unproved) and gives the
    // proofs made.
    Proofs Stop();

private:
    struct Job {
        Folder Place;
        std::shared_ptr<const UniqueFd> Data;
        std::uint64_t Generation = 0;
    };
    void Work(bool lowest);
    void Join();
    bool Current(std::uint64_t generation) const;

    std::shared_ptr<const UniqueFd> data_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Job> jobs_;
    std::map<std::uint64_t, Folder> underWay_; // by a serial number of the take
    std::uint64_t serials_ = 0;
    Proofs proofs_;
    bool stop_ = false;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> generation_{0};
    std::thread worker_;
    std::vector<std::thread> helpers_;
};
