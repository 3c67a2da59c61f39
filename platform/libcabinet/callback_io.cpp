#include "platform/libcabinet/callback_io.h"

#include "platform/libcabinet/fci_failure.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace ostrivane::cabinet {
namespace {

constexpr FCI_UINT kFailedCount = static_cast<FCI_UINT>(-1);
constexpr std::size_t kLargestCall = 1u << 20;

// The callbacks take writable strings; hand them a copy so that ours stay untouched.
std::vector<char> writableCopy(const std::string& text) {
    return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

int errorOr(int err, int fallback) {
    return err != 0 ? err : fallback;
}

} // namespace

FCI_INT_PTR CallbackIo::open(const std::string& path, int flags, int mode, FCIERROR failure) const {
    std::vector<char> name = writableCopy(path);
    int err = 0;
    const FCI_INT_PTR handle = open_(name.data(), flags, mode, &err, context_);
    if (handle == kNoHandle) {
        throw FciFailure{failure, errorOr(err, ENOENT)};
    }
    return handle;
}

FCI_UINT CallbackIo::read(FCI_INT_PTR handle, void* buffer, FCI_UINT count, int& err) const {
    err = 0;
    return read_(handle, buffer, count, &err, context_);
}

void CallbackIo::readExactly(FCI_INT_PTR handle, void* buffer, std::size_t count,
                             FCIERROR failure) const {
    auto* at = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const auto ask = static_cast<FCI_UINT>(std::min(count, kLargestCall));
        int err = 0;
        const FCI_UINT got = read(handle, at, ask, err);
        if (got == kFailedCount || got == 0 || got > ask || (got < ask && err != 0)) {
            throw FciFailure{failure, errorOr(err, EIO)};
        }
        at += got;
        count -= got;
    }
}

void CallbackIo::writeAll(FCI_INT_PTR handle, const void* buffer, std::size_t count,
                          FCIERROR failure) const {
    const auto* at = static_cast<const std::uint8_t*>(buffer);
    while (count > 0) {
        const auto ask = static_cast<FCI_UINT>(std::min(count, kLargestCall));
        int err = 0;
        const FCI_UINT put =
            write_(handle, const_cast<std::uint8_t*>(at), ask, &err, context_); // NOLINT
        if (put == kFailedCount || put == 0 || put > ask || (put < ask && err != 0)) {
            throw FciFailure{failure, errorOr(err, EIO)};
        }
        at += put;
        count -= put;
    }
}

std::int64_t CallbackIo::seek(FCI_INT_PTR handle, std::int64_t distance, int origin,
                              FCIERROR failure) const {
    int err = 0;
    const long position = seek_(handle, static_cast<long>(distance), origin, &err, context_);
    if (position == -1 || err != 0) {
        throw FciFailure{failure, errorOr(err, EIO)};
    }
    // A caller with 32-bit positions reports sizes from 2 GiB to 4 GiB as negative numbers.
    if (position < 0) {
        return static_cast<std::int64_t>(static_cast<std::uint32_t>(position));
    }
    return position;
}

bool CallbackIo::close(FCI_INT_PTR handle) const noexcept {
    int err = 0;
    const int result = close_(handle, &err, context_);
    return result != -1 && err == 0;
}

bool CallbackIo::remove(const std::string& path) const noexcept {
    try {
        std::vector<char> name = writableCopy(path);
        int err = 0;
        const int result = remove_(name.data(), &err, context_);
        return result != -1 && err == 0;
    } catch (...) {
        return false;
    }
}

bool CallbackHandle::release() noexcept {
    if (handle_ == kNoHandle) {
        return true;
    }
    const FCI_INT_PTR handle = handle_;
    handle_ = kNoHandle;
    return io_->close(handle);
}

} // namespace ostrivane::cabinet
