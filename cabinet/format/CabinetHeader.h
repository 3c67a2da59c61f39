// The fixed header of a Microsoft Cabinet file (CFHEADER) with the sizes of the reserved areas
// that may follow it, read from a file's first bytes. The header tells a backup's cabinets apart:
// every backup carries a set ID of its own, and the cabinets of one backup share it.
#pragma once

#include "platform/cabformat/CabinetFormat.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ostrivane::cabformat {

struct CabinetHeader {
    std::uint32_t CabinetSize = 0;
    std::uint32_t FilesOffset = 0;
    std::uint16_t Folders = 0;
    std::uint16_t Files = 0;
    std::uint16_t Flags = 0;
    std::uint16_t SetID = 0;
    std::uint16_t Index = 0;
    std::uint16_t HeaderReserve = 0; // bytes reserved after the header (at kHeaderReserveAt)
    std::uint8_t FolderReserve = 0;
    std::uint8_t DataReserve = 0;
};

// The header in `bytes` (the file's first `size` bytes); nothing when they do not begin a
// cabinet.
std::optional<CabinetHeader> ParseCabinetHeader(const std::uint8_t* bytes, std::size_t size);

// The header of the regular file `path`, never through a symbolic link; nothing when the file is
// missing, is not a regular file or is no cabinet.
std::optional<CabinetHeader> ReadCabinetHeader(const std::string& path);

} // namespace ostrivane::cabformat
