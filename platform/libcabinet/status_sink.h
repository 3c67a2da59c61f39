// The caller's status callback; a result of -1 aborts the running call.
#pragma once

#include "platform/fci/fci.h"

#include <cstdint>

namespace ostrivane::cabinet {

class StatusSink {
public:
    // A quiet sink reports but never aborts (used while an add is being undone).
    StatusSink(PFNFCISTATUS status, void* context, bool mayAbort = true)
        : status_(status), context_(context), mayAbort_(mayAbort) {}

    void blockDone(std::uint32_t compressed, std::uint32_t uncompressed) const {
        report(statusFile, compressed, uncompressed);
    }
    void folderCopied(std::uint64_t copied, std::uint64_t total) const {
        report(statusFolder, static_cast<FCI_ULONG>(copied), static_cast<FCI_ULONG>(total));
    }
    void cabinetSize(std::uint64_t estimated, std::uint64_t actual) const {
        report(statusCabinet, static_cast<FCI_ULONG>(estimated), static_cast<FCI_ULONG>(actual));
    }
    StatusSink quiet() const { return StatusSink(status_, context_, false); }

private:
    void report(FCI_UINT type, FCI_ULONG first, FCI_ULONG second) const;

    PFNFCISTATUS status_;
    void* context_;
    bool mayAbort_;
};

} // namespace ostrivane::cabinet
