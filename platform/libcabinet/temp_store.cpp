#include "platform/libcabinet/temp_store.h"

#include "platform/libcabinet/fci_failure.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace ostrivane::cabinet {
namespace {

constexpr int kTempNameSize = 1024;
constexpr std::size_t kCopyChunk = 256 * 1024;
constexpr std::size_t kBufferBytes = 128 * 1024;

} // namespace

TempStore::TempStore(const CallbackIo& io, PFNFCIGETTEMPFILE tempName) : io_(io) {
    std::vector<char> name(kTempNameSize, '\0');
    if (!tempName(name.data(), kTempNameSize, io.context())) {
        throw FciFailure{FCIERR_TEMP_FILE, 0};
    }
    name.back() = '\0';
    path_ = name.data();
    if (path_.empty()) {
        throw FciFailure{FCIERR_TEMP_FILE, 0};
    }
    try {
        handle_ = io_.open(path_, FCI_O_RDWR | FCI_O_BINARY | FCI_O_CREAT | FCI_O_TRUNC,
                           FCI_S_IREAD | FCI_S_IWRITE, FCIERR_TEMP_FILE);
    } catch (...) {
        // The temp-file callback may have made the file already.
        io_.remove(path_);
        throw;
    }
}

TempStore::~TempStore() {
    io_.close(handle_);
    io_.remove(path_);
}

void TempStore::seekTo(std::uint64_t position) {
    if (position_ != position) {
        io_.seek(handle_, static_cast<std::int64_t>(position), kSeekSet, FCIERR_TEMP_FILE);
        position_ = position;
    }
}

void TempStore::append(const void* bytes, std::size_t count) {
    if (buffer_.size() + count > kBufferBytes) {
        flush();
    }
    if (count >= kBufferBytes) {
        seekTo(written_);
        // Until the write is through, the position is not known.
        position_ = UINT64_MAX;
        io_.writeAll(handle_, bytes, count, FCIERR_TEMP_FILE);
        written_ += count;
        position_ = written_;
    } else {
        if (buffer_.capacity() < kBufferBytes) {
            buffer_.reserve(kBufferBytes);
        }
        const auto* at = static_cast<const std::uint8_t*>(bytes);
        buffer_.insert(buffer_.end(), at, at + count);
    }
    length_ += count;
}

void TempStore::flush() {
    if (buffer_.empty()) {
        return;
    }
    seekTo(written_);
    position_ = UINT64_MAX;
    io_.writeAll(handle_, buffer_.data(), buffer_.size(), FCIERR_TEMP_FILE);
    written_ += buffer_.size();
    position_ = written_;
    buffer_.clear();
}

void TempStore::truncate(std::uint64_t length) {
    length_ = std::min(length_, length);
    if (length_ >= written_) {
        buffer_.resize(static_cast<std::size_t>(length_ - written_));
    } else {
        buffer_.clear();
        written_ = length_;
    }
}

void TempStore::copyTo(FCI_INT_PTR target, std::uint64_t offset, std::uint64_t count,
                       FCIERROR targetFailure,
                       const std::function<void(std::uint64_t copied)>& copied) {
    flush();
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(
        std::min<std::uint64_t>(kCopyChunk, std::max<std::uint64_t>(count, 1))));
    seekTo(offset);
    std::uint64_t done = 0;
    while (done < count) {
        const auto step =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), count - done));
        position_ = UINT64_MAX;
        io_.readExactly(handle_, chunk.data(), step, FCIERR_TEMP_FILE);
        position_ = offset + done + step;
        io_.writeAll(target, chunk.data(), step, targetFailure);
        done += step;
        if (copied) {
            copied(done);
        }
    }
}

} // namespace ostrivane::cabinet
