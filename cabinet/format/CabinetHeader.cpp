#include "cabinet/format/CabinetHeader.h"

#include "platform/fs/UniqueFd.h"

#include <array>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::cabformat {

std::optional<CabinetHeader> ParseCabinetHeader(const std::uint8_t* bytes, std::size_t size) {
    if (size < kFixedHeaderBytes || LoadU32(bytes) != kSignature)
        return std::nullopt;
    CabinetHeader header;
    header.CabinetSize = LoadU32(bytes + kHeaderCabinetSizeAt);
    header.FilesOffset = LoadU32(bytes + kHeaderFilesOffsetAt);
    header.Folders = LoadU16(bytes + kHeaderFoldersAt);
    header.Files = LoadU16(bytes + kHeaderFilesAt);
    header.Flags = LoadU16(bytes + kHeaderFlagsAt);
    header.SetID = LoadU16(bytes + kHeaderSetIdAt);
    header.Index = LoadU16(bytes + kHeaderIndexAt);
    if ((header.Flags & kFlagReservePresent) != 0) {
        if (size < kHeaderReserveAt)
            return std::nullopt;
        header.HeaderReserve = LoadU16(bytes + kFixedHeaderBytes);
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
