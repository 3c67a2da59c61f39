#include "FciHarness.h"

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

FciHarness& self(void* pv) {
    return *static_cast<FciHarness*>(pv);
}

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

} // namespace

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
    return FCICreate(&erf, filePlaced, alloc, release, open, read, write, close, seek, remove,
                     tempName, &ccab, this);
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

void* FciHarness::alloc(FCI_ULONG cb) {
    return std::malloc(cb);
}

void FciHarness::release(void* memory) {
    std::free(memory);
}

FCI_INT_PTR FciHarness::open(char* file, int flags, int, int* err, void* pv) {
    const int fd = ::open(file, posixFlags(flags), 0644);
    *err = fd < 0 ? errno : 0;
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
    const ssize_t got = ::read(fd, memory, cb);
    if (got < 0) {
        *err = errno;
        return static_cast<FCI_UINT>(-1);
    }
    h.bytesRead[fd] += static_cast<std::uint64_t>(got);
    *err = (h.windowsStyleShortReads && static_cast<FCI_UINT>(got) != cb) ? EINVAL : 0;
    return static_cast<FCI_UINT>(got);
}

FCI_UINT FciHarness::write(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void*) {
    const ssize_t put = ::write(static_cast<int>(hf), memory, cb);
    *err = put < 0 ? errno : 0;
    return put < 0 ? static_cast<FCI_UINT>(-1) : static_cast<FCI_UINT>(put);
}

int FciHarness::close(FCI_INT_PTR hf, int* err, void* pv) {
    const int fd = static_cast<int>(hf);
    self(pv).openHandles.erase(fd);
    const int result = ::close(fd);
    *err = result < 0 ? errno : 0;
    return result;
}

long FciHarness::seek(FCI_INT_PTR hf, long distance, int origin, int* err, void*) {
    const off_t at = ::lseek(static_cast<int>(hf), distance, origin);
    *err = at < 0 ? errno : 0;
    return static_cast<long>(at);
}

int FciHarness::remove(char* file, int* err, void* pv) {
    const int result = ::unlink(file);
    *err = result < 0 ? errno : 0;
    self(pv).tempFilesLive.erase(file);
    return result;
}

FCI_BOOL FciHarness::tempName(char* name, int size, void* pv) {
    FciHarness& h = self(pv);
    if (h.failTempNames) {
        return 0;
    }
    std::string pattern = h.folder.string() + "/fci-XXXXXX";
    if (static_cast<int>(pattern.size()) >= size) {
        return 0;
    }
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return 0;
    }
    ::close(fd);
    std::strcpy(name, pattern.c_str());
    h.tempFilesLive.insert(pattern);
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

void writeRandomFile(const std::filesystem::path& path, std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<char> bytes(size);
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

void writeTextFile(const std::filesystem::path& path, std::size_t size, unsigned seed) {
    static const char* const words[] = {"záloha", "soubor", "archive", "cabinet",
                                        "folder", "block",  "deflate", "history",
                                        "\n",     "  ",     "0x7FFF"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += words[random() % (sizeof words / sizeof *words)];
        text += ' ';
    }
    text.resize(size);
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(size));
}

std::vector<std::uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

ScratchFolder::ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/libcab-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace libcabinet_test
