// The fixed header of a Microsoft Cabinet file (CFHEADER) with the sizes of the reserved areas
// that may follow it, read from a file's first bytes. The header tells a backup's cabinets apart:
// every backup carries a set ID of its own, and the cabinets of one backup share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ostrivane::cabformat {

inline constexpr std::uint32_t kSignature = 0x4643534D; // "MSCF" read little-endian
inline constexpr std::size_t kFixedHeaderBytes = 36;
// With the reserve flag, two sizes (header reserve: 2 bytes, folder and data reserve: 1 each)
// follow the fixed header, then the header's reserved bytes.
inline constexpr std::size_t kReserveSizesBytes = 4;
inline constexpr std::size_t kHeaderReserveAt = kFixedHeaderBytes + kReserveSizesBytes;
inline constexpr std::size_t kMostHeaderReserve = 60000;

inline constexpr std::uint16_t kFlagPreviousCabinet = 0x0001;
inline constexpr std::uint16_t kFlagNextCabinet = 0x0002;
inline constexpr std::uint16_t kFlagReservePresent = 0x0004;

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
