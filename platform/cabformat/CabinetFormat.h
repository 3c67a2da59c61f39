// The Microsoft Cabinet format in one table: the records' sizes and field offsets, the flags,
// the limits, and the little-endian loads and stores every reader and the writer use. The
// cabinet library that writes cabinets, the program's readers and the naming of a backup's
// cabinets all take their numbers from here.
//
//   CFHEADER (36 bytes, then with kFlagReservePresent 4 bytes of reserve sizes and the header's
//             reserved bytes, then the names of a previous and a next cabinet where flagged)
//      0 signature "MSCF"   8 cabinet size      16 offset of the first CFFILE
//     24 version (minor, major)  26 folders      28 files   30 flags   32 set ID   34 index
//   CFFOLDER (8 bytes + folder reserve): 0 offset of the first CFDATA, 4 blocks, 6 compression
//   CFFILE (16 bytes + name): 0 size, 4 offset in the folder, 8 folder, 10 date, 12 time,
//             14 attributes, 16 the zero-terminated name
//   CFDATA (8 bytes + data reserve): 0 checksum, 4 packed size, 6 unpacked size, then payload
#pragma once

#include "platform/fci/fci.h"

#include <cstddef>
#include <cstdint>

namespace ostrivane::cabformat {

inline constexpr std::uint32_t kSignature = 0x4643534D; // "MSCF" read little-endian
inline constexpr std::uint8_t kVersionMinor = 3;
inline constexpr std::uint8_t kVersionMajor = 1;

// CFHEADER.
inline constexpr std::size_t kHeaderCabinetSizeAt = 8;
inline constexpr std::size_t kHeaderFilesOffsetAt = 16;
inline constexpr std::size_t kHeaderFoldersAt = 26;
inline constexpr std::size_t kHeaderFilesAt = 28;
inline constexpr std::size_t kHeaderFlagsAt = 30;
inline constexpr std::size_t kHeaderSetIdAt = 32;
inline constexpr std::size_t kHeaderIndexAt = 34;
inline constexpr std::size_t kFixedHeaderBytes = 36;
// With the reserve flag: header reserve size (2 bytes), folder and data reserve sizes (1 each).
inline constexpr std::size_t kReserveSizesBytes = 4;
inline constexpr std::size_t kHeaderReserveAt = kFixedHeaderBytes + kReserveSizesBytes;

inline constexpr std::uint16_t kFlagPreviousCabinet = 0x0001;
inline constexpr std::uint16_t kFlagNextCabinet = 0x0002;
inline constexpr std::uint16_t kFlagReservePresent = 0x0004;

// CFFOLDER, CFFILE, CFDATA.
inline constexpr std::size_t kFolderRecordBytes = 8;
inline constexpr std::size_t kFileRecordBytes = 16;
inline constexpr std::size_t kDataRecordBytes = 8;

// Compression types (the low four bits of the folder's field).
inline constexpr std::uint16_t kCompressionMask = 0x000F;
inline constexpr std::uint16_t kCompressionNone = tcompTYPE_NONE;
inline constexpr std::uint16_t kCompressionMszip = tcompTYPE_MSZIP;
// Every MSZIP payload begins with these two bytes.
inline constexpr std::uint8_t kMszipSignature[] = {'C', 'K'};

// File attributes.
inline constexpr std::uint16_t kAttrReadOnly = _A_RDONLY;
inline constexpr std::uint16_t kAttrHidden = _A_HIDDEN;
inline constexpr std::uint16_t kAttrSystem = _A_SYSTEM;
inline constexpr std::uint16_t kAttrArchive = _A_ARCH;
inline constexpr std::uint16_t kAttrExecute = _A_EXEC;

// Limits.
inline constexpr std::size_t kBlockBytes = 32768; // unpacked bytes of a data block
inline constexpr std::uint32_t kMostBlocksPerFolder = 65535;
inline constexpr std::uint32_t kMostFilesPerCabinet = 0xFFFF;
inline constexpr std::size_t kLongestName = 255; // bytes of a stored name or a path part
// A file must be smaller than one folder's 65535 blocks of 32 KiB.
inline constexpr std::uint64_t kFileSizeLimit =
    static_cast<std::uint64_t>(kMostBlocksPerFolder) * kBlockBytes;
inline constexpr std::uint32_t kLargestCabinet = 0x7FFFFFFF;
inline constexpr std::size_t kMostHeaderReserve = 60000;
inline constexpr std::size_t kMostRecordReserve = 255;

inline std::uint16_t LoadU16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

inline std::uint32_t LoadU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

inline void StoreU16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreU32(std::uint8_t* at, std::uint32_t value) {
    StoreU16(at, value & 0xFFFF);
    StoreU16(at + 2, value >> 16);
}

} // namespace ostrivane::cabformat
