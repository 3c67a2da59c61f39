#include "platform/libcabinet/status_sink.h"

#include "platform/libcabinet/fci_failure.h"

namespace ostrivane::cabinet {

void StatusSink::report(FCI_UINT type, FCI_ULONG first, FCI_ULONG second) const {
    if (status_ == nullptr) {
        return;
    }
    if (status_(type, first, second, context_) == -1 && mayAbort_) {
        throw FciFailure{FCIERR_USER_ABORT, 0};
    }
}

} // namespace ostrivane::cabinet
