// A 32-bit stream over an operating-system file descriptor. Each Read and Write is one system
// call on the caller's buffer; the stream keeps no buffer of its own.
#pragma once

#include "cabinet/streams/TStream32.h"

class THandleStream32 : public TStream32 {
public:
    explicit THandleStream32(int handle = -1) : Handle(handle) {}

    using TStream32::Seek;
    using TStream32::SetSize;

    // The file's size. The family holds 32-bit sizes only: a file of 2 GiB up to 4 GiB - 1
    // comes back as its 32 bits read as signed (negative), as the Windows call reports it; a
    // file of 4 GiB or more, or a handle whose size cannot be read, gives -1 (0xFFFFFFFF, the
    // "invalid size" value), never a wrapped small size.
    std::int32_t GetSize() override;
    // Moves to NewSize from the beginning and cuts or extends the file there; EOSError on
    // failure.
    void SetSize(std::int32_t NewSize) override;
    // Bytes read, 0 when the read fails (errno then tells why; 0 after a short read at the end).
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    // The low 32 bits of Offset as a signed distance; the new position widened without sign,
    // 0xFFFFFFFF on failure (a negative target, an origin above 2, a target beyond 4 GiB - 2).
    std::int64_t Seek(std::int64_t Offset, std::uint16_t Origin) override;
    // Bytes written, 0 when the write fails (errno then tells why).
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;

    int Handle;

protected:
    bool ProvidesSeek64() const override { return true; }
};
