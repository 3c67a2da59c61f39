#include "PosixFci.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace testsupport::posixfci {

int OpenFlags(int fciFlags) {
    int result = (fciFlags & FCI_O_RDWR) ? O_RDWR : (fciFlags & FCI_O_WRONLY) ? O_WRONLY : O_RDONLY;
    if (fciFlags & FCI_O_CREAT)
        result |= O_CREAT;
    if (fciFlags & FCI_O_TRUNC)
        result |= O_TRUNC;
    if (fciFlags & FCI_O_EXCL)
        result |= O_EXCL;
    return result | O_CLOEXEC;
}

void* Alloc(FCI_ULONG cb) {
    return std::malloc(cb);
}

void Free(void* memory) {
    std::free(memory);
}

FCI_INT_PTR Open(char* file, int flags, int, int* err, void*) {
    const int fd = ::open(file, OpenFlags(flags), 0644);
    *err = fd < 0 ? errno : 0;
    return fd;
}

FCI_UINT Read(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void*) {
    const ssize_t got = ::read(static_cast<int>(hf), memory, cb);
    *err = got < 0 ? errno : 0;
    return got < 0 ? static_cast<FCI_UINT>(-1) : static_cast<FCI_UINT>(got);
}

FCI_UINT Write(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void*) {
    const ssize_t put = ::write(static_cast<int>(hf), memory, cb);
    *err = put < 0 ? errno : 0;
    return put < 0 ? static_cast<FCI_UINT>(-1) : static_cast<FCI_UINT>(put);
}

int Close(FCI_INT_PTR hf, int* err, void*) {
    const int result = ::close(static_cast<int>(hf));
    *err = result < 0 ? errno : 0;
    return result;
}

long Seek(FCI_INT_PTR hf, long distance, int origin, int* err, void*) {
    const off_t at = ::lseek(static_cast<int>(hf), distance, origin);
    *err = at < 0 ? errno : 0;
    return static_cast<long>(at);
}

int Remove(char* file, int* err, void*) {
    const int result = ::unlink(file);
    *err = result < 0 ? errno : 0;
    return result;
}

bool MakeTempFile(const std::string& folder, char* name, int size) {
    std::string pattern = folder + "/fci-XXXXXX";
    if (static_cast<int>(pattern.size()) >= size)
        return false;
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return false;
    ::close(fd);
    std::strcpy(name, pattern.c_str());
    return true;
}

} // namespace testsupport::posixfci
