#include "cabinet/format/CabinetHeader.h"

#include "platform/fs/UniqueFd.h"

#include <array>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::cabformat {

namespace {

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

std::optional<CabinetHeader> ParseCabinetHeader(const std::uint8_t* bytes, std::size_t size) {
    if (size < kFixedHeaderBytes || U32(bytes) != kSignature)
        return std::nullopt;
    CabinetHeader header;
    header.CabinetSize = U32(bytes + 8);
    header.FilesOffset = U32(bytes + 16);
    header.Folders = U16(bytes + 26);
    header.Files = U16(bytes + 28);
    header.Flags = U16(bytes + 30);
    header.SetID = U16(bytes + 32);
    header.Index = U16(bytes + 34);
    if ((header.Flags & kFlagReservePresent) != 0) {
        if (size < kHeaderReserveAt)
            return std::nullopt;
        header.HeaderReserve = U16(bytes + kFixedHeaderBytes);
        header.FolderReserve = bytes[kFixedHeaderBytes + 2];
        header.DataReserve = bytes[kFixedHeaderBytes + 3];
    }
    return header;
}

std::optional<CabinetHeader> ReadCabinetHeader(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    std::array<std::uint8_t, kHeaderReserveAt> bytes{};
    const ssize_t read = ::pread(fd.Get(), bytes.data(), bytes.size(), 0);
    if (read < 0)
        return std::nullopt;
    return ParseCabinetHeader(bytes.data(), static_cast<std::size_t>(read));
}

} // namespace ostrivane::cabformat
