// The "last-error" code that the file callbacks hand back to the cabinet library: errno, except
// that the full-disk conditions come out as 112, the code the archive component checks for.
#pragma once

inline constexpr int kErrorDiskFull = 112;

// Maps an errno value: ENOSPC and EDQUOT become kErrorDiskFull, every other value is kept.
int LastErrorFromErrno(int code);
// LastErrorFromErrno(errno).
int LastError();
