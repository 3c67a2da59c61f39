// The folders of one cabinet decoded on a few threads at once: each folder is a fresh MSZIP
// history, so each can be inflated on its own. The caller's thread takes the files in their
// order, whatever thread decoded them; each file's CRC-64 is taken where it was decoded. Memory
// stays bounded: a few folders are decoded ahead of the one being taken, each holding at most a
// few MiB of bytes the caller has not taken yet.
#pragma once

#include "cabinet/format/CabinetLayout.h"
#include "cabinet/read/FolderProof.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DecodedFile {
    std::string Problem; // "" when every byte was read from sound blocks
    std::uint64_t Crc64 = 0;
    std::uint64_t Delivered = 0;
};

class ParallelFolders {
public:
    // True when `files` (indices of dir.Files, in the order they are to be taken) come folder by
    // folder, each folder once, its files in the order of their offsets: the order a writer
    // keeps and the only one decoded here.
    static bool Orderly(const CabinetDirectory& dir, const std::vector<std::size_t>& files);

    // Decodes `files` of the cabinet open as `fd` (read with pread). On the caller's thread, for
    // each file in turn: `begin` (false: its bytes are not wanted), `data` with its bytes when
    // `withBytes` and it was wanted, then `end`. `keepGoing` is asked while the caller waits;
    // false stops every thread and the result is false. Without `withBytes`, a folder with a
    // proof in `proved` whose stored bytes are found unchanged gives its files' CRC-64 from the
    // proof, undecoded.
    static bool Run(int fd, const CabinetDirectory& dir, const std::vector<std::size_t>& files,
                    bool withBytes, const std::function<bool(std::size_t file)>& begin,
                    const std::function<void(const std::uint8_t*, std::size_t)>& data,
                    const std::function<void(std::size_t file, const DecodedFile&)>& end,
                    const std::function<bool()>& keepGoing, ProvedSums* proved = nullptr);

    // The number of threads that decode (one per core, eight at most; OSTRIVANE_READ_THREADS
    // overrides it).
    static unsigned Threads();
};
