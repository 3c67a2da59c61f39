// The failure that unwinds an FCI call to its entry point, where it becomes the caller's ERF.
#pragma once

#include "platform/fci/fci.h"

namespace ostrivane::cabinet {

inline constexpr FCI_BOOL kFciTrue = 1;
inline constexpr FCI_BOOL kFciFalse = 0;

struct FciFailure {
    FCIERROR code;
    int osError = 0; // the callback's errno-like *err, 0 where there is none
};

} // namespace ostrivane::cabinet
