// The directory of a Microsoft Cabinet file as the published format lays it out (header, folder
// and file records), read from the file itself, and a pass over the data blocks that recomputes
// every block's checksum. Each offset and count is checked against the file, so a damaged or
// hostile cabinet gives a problem text, never a read outside its bytes or work beyond its size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CabinetFolderRecord {
    std::uint32_t DataOffset = 0; // where the folder's first data block begins
    std::uint16_t DataBlocks = 0;
    std::uint16_t Compression = 0;
};

struct CabinetFileRecord {
    std::string StoredName; // the bytes as stored, "\" between the parts
    std::uint32_t Size = 0;
    std::uint32_t FolderOffset = 0; // of its first byte in the folder's uncompressed data
    std::uint16_t Folder = 0;
    std::uint16_t Date = 0; // DOS date and time, local time
    std::uint16_t Time = 0;
    std::uint16_t Attributes = 0;
};

struct CabinetDirectory {
    std::string Problem; // empty when the directory was read whole
    std::uint64_t FileSize = 0;
    std::uint16_t Flags = 0;
    std::uint16_t SetID = 0;
    std::uint16_t Index = 0; // the cabinet's number within its set, 0 for the first
    std::uint8_t DataReserve = 0;
    std::vector<CabinetFolderRecord> Folders;
    std::vector<CabinetFileRecord> Files;
};

// Reads the directory of the cabinet open as `fd` (read with pread; the file position is left
// alone); without `withFiles`, the header and the folder records only (Files stays empty).
CabinetDirectory ReadCabinetDirectory(int fd, bool withFiles = true);

// Where each folder's data ends (by folder): where the next folder's data begins, the last one's
// at the end of the file. Nothing past it belongs to the folder.
std::vector<std::uint64_t> FolderDataEnds(const CabinetDirectory& directory);

// A stretch of a folder's uncompressed bytes that cannot be trusted, and why.
struct DamagedStretch {
    std::uint16_t Folder = 0;
    std::uint64_t Begin = 0;
    std::uint64_t End = 0; // UINT64_MAX: to the end of the folder
    std::string Reason;
    // The block breaks a rule of the format that every writer keeps (a block other than the
    // last of its folder holds 32768 bytes, none holds more, a stored block holds as many bytes
    // as it unpacks to). Decompressors are not trusted with such a cabinet at all.
    bool Malformed = false;
};

// Walks the data blocks of every folder and recomputes each checksum that is not 0 (0 means the
// writer left it out). `keepGoing`, when given, is asked between blocks; false ends the walk
// and clears `completed`. The stretches come sorted by folder and offset.
std::vector<DamagedStretch> CheckDataBlocks(int fd, const CabinetDirectory& directory,
                                            const std::function<bool()>& keepGoing,
                                            bool& completed);

// Why the bytes of `file` cannot be trusted, or "" when no damaged stretch touches them.
std::string DamageOf(const CabinetFileRecord& file, const CabinetDirectory& directory,
                     const std::vector<DamagedStretch>& damage);
