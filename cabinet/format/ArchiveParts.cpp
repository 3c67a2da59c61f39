#include "cabinet/format/ArchiveParts.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane {

namespace {

constexpr std::size_t kHeaderBytes = 36;
constexpr std::size_t kSignatureAt = 0;
constexpr std::size_t kSetIdAt = 32;

} // namespace

std::string ArchiveStem(const std::string& archive) {
    const auto slash = archive.rfind('/');
    const auto dot = archive.find('.', slash == std::string::npos ? 0 : slash + 1);
    return dot == std::string::npos ? archive : archive.substr(0, dot);
}

std::string ArchivePartName(const std::string& archive, int part) {
    return ArchiveStem(archive) + "-" + std::to_string(part) + ".cab";
}

bool IsArchivePart(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::array<unsigned char, kHeaderBytes> header{};
    struct stat st {};
    const bool read =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        ::pread(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size());
    ::close(fd);
    const unsigned setId = header[kSetIdAt] | (header[kSetIdAt + 1] << 8);
    return read && std::memcmp(header.data() + kSignatureAt, "MSCF", 4) == 0 &&
           setId == kArchivePartSetId;
}

int CountArchiveParts(const std::string& archive) {
    int parts = 1;
    while (IsArchivePart(ArchivePartName(archive, parts + 1)))
        ++parts;
    return parts;
}

std::vector<std::string> ArchiveSetParts(const std::string& archive) {
    std::vector<std::string> parts{archive};
    if (IsArchivePart(archive)) {
        for (int part = 2; IsArchivePart(ArchivePartName(archive, part)); ++part)
            parts.push_back(ArchivePartName(archive, part));
    }
    return parts;
}

bool RemoveArchiveParts(const std::string& archive, int from) {
    for (int part = from; IsArchivePart(ArchivePartName(archive, part)); ++part) {
        if (::unlink(ArchivePartName(archive, part).c_str()) != 0 && errno != ENOENT)
            return false;
    }
    return true;
}

} // namespace ostrivane
