// The caller's file callbacks with their context value, and the checks every call needs.
// All file work of the library goes through here, always on the caller's thread.
#pragma once

#include "platform/fci/fci.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrivane::cabinet {

inline constexpr int kSeekSet = 0;
inline constexpr int kSeekEnd = 2;
inline constexpr FCI_INT_PTR kNoHandle = -1;

class CallbackIo {
public:
    CallbackIo(PFNFCIOPEN open, PFNFCIREAD read, PFNFCIWRITE write, PFNFCICLOSE close,
               PFNFCISEEK seek, PFNFCIDELETE remove, void* context)
        : open_(open), read_(read), write_(write), close_(close), seek_(seek), remove_(remove),
          context_(context) {}

    void* context() const { return context_; }

    // Opens a file; a failure throws `failure` with the callback's error.
    FCI_INT_PTR open(const std::string& path, int flags, int mode, FCIERROR failure) const;
    // One read callback as it stands: the byte count and the callback's error.
    FCI_UINT read(FCI_INT_PTR handle, void* buffer, FCI_UINT count, int& err) const;
    // Reads exactly `count` bytes or throws `failure`.
    void readExactly(FCI_INT_PTR handle, void* buffer, std::size_t count, FCIERROR failure) const;
    // Writes all of `count` bytes or throws `failure`.
    void writeAll(FCI_INT_PTR handle, const void* buffer, std::size_t count,
                  FCIERROR failure) const;
    // Seeks; a failure (result -1 or an error reported) throws `failure`.
    std::int64_t seek(FCI_INT_PTR handle, std::int64_t distance, int origin,
                      FCIERROR failure) const;
    // Closes; reports whether the callback saw no error.
    bool close(FCI_INT_PTR handle) const noexcept;
    bool remove(const std::string& path) const noexcept;

private:
    PFNFCIOPEN open_;
    PFNFCIREAD read_;
    PFNFCIWRITE write_;
    PFNFCICLOSE close_;
    PFNFCISEEK seek_;
    PFNFCIDELETE remove_;
    void* context_;
};

// A handle opened through the callbacks, closed through them when it goes.
class CallbackHandle {
public:
    CallbackHandle(const CallbackIo& io, FCI_INT_PTR handle) : io_(&io), handle_(handle) {}
    CallbackHandle(const CallbackHandle&) = delete;
    CallbackHandle& operator=(const CallbackHandle&) = delete;
    ~CallbackHandle() { release(); }

    FCI_INT_PTR get() const { return handle_; }
    // Closes now; reports whether the close succeeded.
    bool release() noexcept;

private:
    const CallbackIo* io_;
    FCI_INT_PTR handle_;
};

} // namespace ostrivane::cabinet
