#include "FciHarness.h"

#include "tests/support/PosixFci.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

namespace libcabinet_test {
namespace {

namespace posixfci = testsupport::posixfci;

FciHarness& self(void* pv) {
    return *static_cast<FciHarness*>(pv);
}

} // namespace

std::filesystem::path makeSource(const std::filesystem::path& folder, const std::string& name,
                                 const std::string& bytes) {
    const std::filesystem::path path = folder / name;
    WriteFile(path, bytes);
    return path;
}

FciHarness::FciHarness(const std::filesystem::path& where, const std::string& cabinetName)
    : folder(where) {
    ccab.cb = CB_MAX_DISK;
    ccab.cbFolderThresh = CB_MAX_DISK;
    const std::string path = folder.string() + "/";
    std::strncpy(ccab.szCabPath, path.c_str(), sizeof ccab.szCabPath - 1);
    std::strncpy(ccab.szCab, cabinetName.c_str(), sizeof ccab.szCab - 1);
}

FciHarness::~FciHarness() {
    for (const auto& [fd, path] : openHandles) {
        ::close(fd);
    }
}

HFCI FciHarness::create() {
    return FCICreate(&erf, filePlaced, posixfci::Alloc, posixfci::Free, open, read, posixfci::Write,
                     close, posixfci::Seek, remove, tempName, &ccab, this);
}

bool FciHarness::add(HFCI context, const std::filesystem::path& source,
                     const std::string& storedName, TCOMP type, bool execute) {
    std::string path = source.string();
    std::string name = storedName;
    return FCIAddFile(context, path.data(), name.data(), execute ? 1 : 0, nextCabinet, status,
                      openInfo, type) != 0;
}

bool FciHarness::flush(HFCI context, bool getNextCabinet) {
    return FCIFlushCabinet(context, getNextCabinet ? 1 : 0, nextCabinet, status) != 0;
}

std::filesystem::path FciHarness::cabinetPath() const {
    return std::filesystem::path(std::string(ccab.szCabPath) + ccab.szCab);
}

int FciHarness::filePlaced(CCAB*, char* file, long size, FCI_BOOL, void* pv) {
    if (self(pv).refusePlacementOf == file) {
        return -1;
    }
    self(pv).placed.emplace_back(file, size);
    return 0;
}

FCI_INT_PTR FciHarness::open(char* file, int flags, int mode, int* err, void* pv) {
    const FCI_INT_PTR fd = posixfci::Open(file, flags, mode, err, pv);
    if (fd >= 0) {
        self(pv).openHandles[fd] = file;
        self(pv).bytesRead[fd] = 0;
    }
    return fd;
}

FCI_UINT FciHarness::read(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv) {
    FciHarness& h = self(pv);
    const int fd = static_cast<int>(hf);
    const auto found = h.openHandles.find(fd);
    if (found == h.openHandles.end()) {
        *err = EBADF;
        return static_cast<FCI_UINT>(-1);
    }
    if (!h.failReadOf.empty() && found->second == h.failReadOf &&
        h.bytesRead[fd] >= h.failReadAfter) {
        // What a cancelled read looks like to the library: nothing read, an error set.
        *err = -1;
        return 0;
    }
    const FCI_UINT got = posixfci::Read(hf, memory, cb, err, pv);
    if (got == static_cast<FCI_UINT>(-1)) {
        return got;
    }
    h.bytesRead[fd] += got;
    *err = (h.windowsStyleShortReads && static_cast<FCI_UINT>(got) != cb) ? EINVAL : 0;
    return static_cast<FCI_UINT>(got);
}

int FciHarness::close(FCI_INT_PTR hf, int* err, void* pv) {
    self(pv).openHandles.erase(static_cast<int>(hf));
    return posixfci::Close(hf, err, pv);
}

int FciHarness::remove(char* file, int* err, void* pv) {
    self(pv).tempFilesLive.erase(file);
    return posixfci::Remove(file, err, pv);
}

FCI_BOOL FciHarness::tempName(char* name, int size, void* pv) {
    FciHarness& h = self(pv);
    if (h.failTempNames) {
        return 0;
    }
    if (!posixfci::MakeTempFile(h.folder.string(), name, size)) {
        return 0;
    }
    h.tempFilesLive.insert(name);
    ++h.tempFilesMade;
    return 1;
}

FCI_BOOL FciHarness::nextCabinet(CCAB* ccab, FCI_ULONG previousSize, void* pv) {
    FciHarness& h = self(pv);
    h.nextCabinetSizes.push_back(previousSize);
    if (!h.acceptNextCabinet) {
        // As the program's handler does when it refuses: the names are wiped.
        std::memset(ccab->szCab, 0, sizeof ccab->szCab);
        std::memset(ccab->szCabPath, 0, sizeof ccab->szCabPath);
        return 0;
    }
    const std::string name = "test" + std::to_string(ccab->iCab) + ".cab";
    std::strncpy(ccab->szCab, name.c_str(), sizeof ccab->szCab - 1);
    h.nextCabinetNames.push_back(name);
    return 1;
}

long FciHarness::status(FCI_UINT type, FCI_ULONG first, FCI_ULONG second, void* pv) {
    FciHarness& h = self(pv);
    h.statusLog.push_back({type, first, second});
    if (static_cast<int>(type) == h.abortStatusOfType) {
        h.abortStatusOfType = -1;
        ++h.statusCalls;
        return -1;
    }
    return h.statusCalls++ == h.abortStatusAfter ? -1 : 0;
}

FCI_INT_PTR FciHarness::openInfo(char* name, FCI_USHORT* date, FCI_USHORT* time,
                                 FCI_USHORT* attributes, int* err, void* pv) {
    struct stat info {};
    if (::stat(name, &info) != 0) {
        *err = errno;
        return -1;
    }
    *date = static_cast<FCI_USHORT>(((2024 - 1980) << 9) | (5 << 5) | 17); // 2024-05-17
    *time = static_cast<FCI_USHORT>((13 << 11) | (45 << 5) | (30 / 2));    // 13:45:30
    *attributes = static_cast<FCI_USHORT>(_A_ARCH | self(pv).attributesToAdd);
    return open(name, FCI_O_RDONLY | FCI_O_BINARY, 0, err, pv);
}

FciTest::~FciTest() {
    destroy();
}

std::filesystem::path FciTest::source(const std::string& name, const std::string& bytes) const {
    return makeSource(scratch.Folder(), name, bytes);
}

bool FciTest::open() {
    context = harness.create();
    return context != nullptr;
}

int FciTest::refusalOf(const std::filesystem::path& source, const std::string& storedName,
                       TCOMP type) {
    return harness.add(context, source, storedName, type) ? FCIERR_NONE : harness.erf.erfOper;
}

bool FciTest::close() {
    const bool flushed = harness.flush(context);
    destroy();
    return flushed;
}

bool FciTest::destroy() {
    const bool destroyed = FCIDestroy(context) != 0;
    context = nullptr;
    return destroyed;
}

} // namespace libcabinet_test
