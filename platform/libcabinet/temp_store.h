// One temporary file of the library, named by the caller's temp-file callback and used through
// the file callbacks. Its length is kept here: cutting it back (when an add is undone) only moves
// the logical end, so the callbacks need no truncate operation. What is appended gathers in a
// buffer and goes to the file in blocks (a cabinet of many small files would otherwise cost one
// write callback per file record), so a failed write shows at a later append or copy. Closed
// and deleted when it goes.
#pragma once

#include "platform/libcabinet/callback_io.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ostrivane::cabinet {

class TempStore {
public:
    TempStore(const CallbackIo& io, PFNFCIGETTEMPFILE tempName);
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;
    ~TempStore();

    std::uint64_t size() const { return length_; }
    void append(const void* bytes, std::size_t count);
    // Moves the end back to `length` (at most the current size).
    void truncate(std::uint64_t length);
    void clear() { truncate(0); }

    // Copies `count` bytes from `offset` into the open file `target`; `copied` is told the running
    // total after each chunk.
    void copyTo(FCI_INT_PTR target, std::uint64_t offset, std::uint64_t count,
                FCIERROR targetFailure,
                const std::function<void(std::uint64_t copied)>& copied = {});

    // Writes the buffered bytes to the file: everything appended so far can be read from it.
    void flush();

private:
    void seekTo(std::uint64_t position);

    const CallbackIo& io_;
    std::string path_;
    FCI_INT_PTR handle_ = kNoHandle;
    std::uint64_t length_ = 0;   // the logical length, the buffered bytes included
    std::uint64_t written_ = 0;  // the bytes of it in the file
    std::uint64_t position_ = 0; // the file's position
    std::vector<std::uint8_t> buffer_;
};

} // namespace ostrivane::cabinet
