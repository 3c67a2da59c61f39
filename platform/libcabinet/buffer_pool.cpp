#include "platform/libcabinet/buffer_pool.h"

namespace ostrivane::cabinet {

BufferPool::BufferPool(std::size_t bufferSize, std::size_t mostKept)
    : bufferSize_(bufferSize), mostKept_(mostKept) {
    // Room for every buffer kept, so that giving one back never allocates.
    kept_.reserve(mostKept);
}

std::unique_ptr<std::uint8_t[]> BufferPool::take() {
    {
        std::lock_guard lock(mutex_);
        if (!kept_.empty()) {
            auto buffer = std::move(kept_.back());
            kept_.pop_back();
            return buffer;
        }
    }
    return std::make_unique_for_overwrite<std::uint8_t[]>(bufferSize_);
}

void BufferPool::give(std::unique_ptr<std::uint8_t[]> buffer) noexcept {
    if (!buffer) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (kept_.size() < mostKept_ && kept_.capacity() > kept_.size()) {
        kept_.push_back(std::move(buffer));
    }
}

PooledBuffer& PooledBuffer::operator=(PooledBuffer&& other) noexcept {
    if (this != &other) {
        release();
        pool_ = std::move(other.pool_);
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

void PooledBuffer::release() noexcept {
    if (pool_) {
        pool_->give(std::move(bytes_));
    }
    pool_.reset();
    bytes_.reset();
}

} // namespace ostrivane::cabinet
