// Buffers of one size, taken and given back from any thread, so that the memory a build cycles
// through (a run of input, its records) is allocated once instead of once per run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace ostrivane::cabinet {

class BufferPool {
public:
    BufferPool(std::size_t bufferSize, std::size_t mostKept);

    std::size_t bufferSize() const { return bufferSize_; }
    // A kept buffer, or a new one; its bytes are not initialised.
    std::unique_ptr<std::uint8_t[]> take();
    // Kept for the next `take` while fewer than `mostKept` wait, else freed.
    void give(std::unique_ptr<std::uint8_t[]> buffer) noexcept;

private:
    std::size_t bufferSize_;
    std::size_t mostKept_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<std::uint8_t[]>> kept_;
};

// One buffer of a pool, given back when it goes.
class PooledBuffer {
public:
    PooledBuffer() = default;
    explicit PooledBuffer(std::shared_ptr<BufferPool> pool)
        : pool_(std::move(pool)), bytes_(pool_->take()) {}
    PooledBuffer(PooledBuffer&&) noexcept = default;
    PooledBuffer& operator=(PooledBuffer&& other) noexcept;
    PooledBuffer(const PooledBuffer&) = delete;
    PooledBuffer& operator=(const PooledBuffer&) = delete;
    ~PooledBuffer() { release(); }

    std::uint8_t* get() const { return bytes_.get(); }
    std::size_t capacity() const { return pool_ ? pool_->bufferSize() : 0; }

private:
    void release() noexcept;

    std::shared_ptr<BufferPool> pool_;
    std::unique_ptr<std::uint8_t[]> bytes_;
};

} // namespace ostrivane::cabinet
