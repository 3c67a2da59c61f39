// fcipack ARCHIVE FILE...: packs the files (MSZIP) into one cabinet through libcabinet's FCI with
// plain POSIX callbacks. Stored names are the paths as given, without a leading "/", with "\".
// Thread count: OSTRIVANE_CAB_THREADS. Exit status 0 on success.
#include "platform/fci/fci.h"
#include "platform/fs/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

int posixFlags(int flags) {
    int result = (flags & FCI_O_RDWR) ? O_RDWR : (flags & FCI_O_WRONLY) ? O_WRONLY : O_RDONLY;
    if (flags & FCI_O_CREAT) {
        result |= O_CREAT;
    }
    if (flags & FCI_O_TRUNC) {
        result |= O_TRUNC;
    }
    if (flags & FCI_O_EXCL) {
        result |= O_EXCL;
    }
    return result | O_CLOEXEC;
}

int filePlaced(CCAB*, char*, long, FCI_BOOL, void*) {
    return 0;
}
void* allocate(FCI_ULONG cb) {
    return std::malloc(cb);
}
void release(void* memory) {
    std::free(memory);
}

FCI_INT_PTR openFile(char* name, int flags, int, int* err, void*) {
    const int fd = ::open(name, posixFlags(flags), 0644);
    *err = fd < 0 ? errno : 0;
    return fd;
}

FCI_UINT readFile(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void*) {
    const ssize_t got = ::read(static_cast<int>(hf), memory, cb);
    *err = got < 0 ? errno : 0;
    return got < 0 ? static_cast<FCI_UINT>(-1) : static_cast<FCI_UINT>(got);
}

FCI_UINT writeFile(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void*) {
    const ssize_t put = ::write(static_cast<int>(hf), memory, cb);
    *err = put < 0 ? errno : 0;
    return put < 0 ? static_cast<FCI_UINT>(-1) : static_cast<FCI_UINT>(put);
}

int closeFile(FCI_INT_PTR hf, int* err, void*) {
    const int result = ::close(static_cast<int>(hf));
    *err = result < 0 ? errno : 0;
    return result;
}

long seekFile(FCI_INT_PTR hf, long distance, int origin, int* err, void*) {
    const off_t at = ::lseek(static_cast<int>(hf), distance, origin);
    *err = at < 0 ? errno : 0;
    return static_cast<long>(at);
}

int deleteFile(char* name, int* err, void*) {
    const int result = ::unlink(name);
    *err = result < 0 ? errno : 0;
    return result;
}

FCI_BOOL tempFile(char* name, int size, void*) {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern =
        std::string(folder != nullptr && *folder ? folder : "/tmp") + "/fcipack-XXXXXX";
    if (static_cast<int>(pattern.size()) >= size) {
        return 0;
    }
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return 0;
    }
    ::close(fd);
    std::strcpy(name, pattern.c_str());
    return 1;
}

FCI_BOOL nextCabinet(CCAB*, FCI_ULONG, void*) {
    return 0;
}
long status(FCI_UINT, FCI_ULONG, FCI_ULONG, void*) {
    return 0;
}

FCI_INT_PTR openInfo(char* name, FCI_USHORT* date, FCI_USHORT* time, FCI_USHORT* attributes,
                     int* err, void*) {
    struct stat info {};
    if (::stat(name, &info) != 0) {
        *err = errno;
        return -1;
    }
    struct tm local {};
    localtime_r(&info.st_mtime, &local);
    *date = static_cast<FCI_USHORT>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                    local.tm_mday);
    *time =
        static_cast<FCI_USHORT>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    *attributes = _A_ARCH;
    return openFile(name, FCI_O_RDONLY, 0, err, nullptr);
}

std::string storedName(const char* path) {
    std::string name(path);
    while (!name.empty() && name.front() == '/') {
        name.erase(0, 1);
    }
    for (char& c : name) {
        if (c == '/') {
            c = '\\';
        }
    }
    return name;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fcipack ARCHIVE FILE...\n");
        return 2;
    }
    CCAB ccab{};
    ccab.cb = CB_MAX_DISK;
    ccab.cbFolderThresh = CB_MAX_DISK;
    const std::string archive = argv[1];
    const std::string folder = ostrivane::fs::FolderPartOf(archive);
    const std::string file = ostrivane::fs::NameOf(archive);
    std::snprintf(ccab.szCabPath, sizeof ccab.szCabPath, "%s", folder.c_str());
    std::snprintf(ccab.szCab, sizeof ccab.szCab, "%s", file.c_str());

    ERF erf{};
    HFCI context = FCICreate(&erf, filePlaced, allocate, release, openFile, readFile, writeFile,
                             closeFile, seekFile, deleteFile, tempFile, &ccab, nullptr);
    if (context == nullptr) {
        std::fprintf(stderr, "fcipack: FCICreate failed (%d, %d)\n", erf.erfOper, erf.erfType);
        return 1;
    }
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        std::string name = storedName(argv[i]);
        if (!FCIAddFile(context, argv[i], name.data(), 0, nextCabinet, status, openInfo,
                        tcompTYPE_MSZIP)) {
            std::fprintf(stderr, "fcipack: %s: error %d (%d)\n", argv[i], erf.erfOper, erf.erfType);
            ++failures;
        }
    }
    if (!FCIFlushCabinet(context, 0, nextCabinet, status)) {
        std::fprintf(stderr, "fcipack: flush failed (%d, %d)\n", erf.erfOper, erf.erfType);
        ++failures;
    }
    FCIDestroy(context);
    return failures == 0 ? 0 : 1;
}
