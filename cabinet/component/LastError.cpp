#include "cabinet/component/LastError.h"

#include <cerrno>

int LastErrorFromErrno(int code) {
    if (code == ENOSPC || code == EDQUOT) {
        return kErrorDiskFull;
    }
    return code;
}

int LastError() {
    return LastErrorFromErrno(errno);
}
