// fcipack ARCHIVE FILE...: packs the files (MSZIP) into one cabinet through libcabinet's FCI with
// plain POSIX callbacks. Stored names are the paths as given, without a leading "/", with "\".
// Thread count: OSTRIVANE_CAB_THREADS. Exit status 0 on success.
#include "platform/fci/fci.h"
#include "platform/fs/DosDateTime.h"
#include "platform/fs/Paths.h"
#include "tests/support/PosixFci.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

namespace posixfci = testsupport::posixfci;

int filePlaced(CCAB*, char*, long, FCI_BOOL, void*) {
    return 0;
}

FCI_BOOL tempFile(char* name, int size, void*) {
    const char* folder = std::getenv("TMPDIR");
    return posixfci::MakeTempFile(folder != nullptr && *folder ? folder : "/tmp", name, size);
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
    const std::uint32_t packed = ostrivane::fs::DosDateTimeOf(info.st_mtime);
    *date = static_cast<FCI_USHORT>(packed >> 16);
    *time = static_cast<FCI_USHORT>(packed & 0xFFFF);
    *attributes = _A_ARCH;
    return posixfci::Open(name, FCI_O_RDONLY, 0, err, nullptr);
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
    using namespace posixfci;
    HFCI context = FCICreate(&erf, filePlaced, Alloc, Free, Open, Read, Write, Close, Seek, Remove,
                             tempFile, &ccab, nullptr);
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
