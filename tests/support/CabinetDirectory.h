// The tests' own reader of a cabinet's directory, written from the published MS-CAB layout and
// independent of the product's: the header, the folders with their data blocks, and the file
// records, as a written cabinet holds them. It reads only the records, never the payload, so
// that cabinets of gigabytes cost no more than their directory.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The member every backup's cabinet carries its catalog in.
inline constexpr const char* kCatalogMemberName = ".ostrivane-catalog";

struct CabDataRecord {
    std::uint64_t Offset = 0; // of the record in the file
    std::uint32_t Checksum = 0;
    std::uint16_t Compressed = 0; // cbData, the payload's size
    std::uint16_t Uncompressed = 0;
};

struct CabFolderRecord {
    std::uint32_t DataOffset = 0;
    std::uint16_t BlockCount = 0;
    std::uint16_t Compression = 0; // typeCompress
    std::vector<CabDataRecord> Data;
};

struct CabFileRecord {
    std::uint32_t Size = 0;
    std::uint32_t FolderOffset = 0; // of the file's bytes in its folder's uncompressed stream
    std::uint16_t Folder = 0;
    std::uint16_t Date = 0; // DOS date and time
    std::uint16_t Time = 0;
    std::uint16_t Attribs = 0;
    std::string Name; // the bytes as stored
};

struct CabDirectory {
    // False when the file is no cabinet, or a record lies past its end.
    bool Valid = false;
    std::uint64_t FileSize = 0;    // of the file on the disk
    std::uint32_t CabinetSize = 0; // as the header declares it
    std::uint32_t FilesOffset = 0;
    std::uint8_t MinorVersion = 0, MajorVersion = 0; // 3 and 1
    std::uint16_t Flags = 0;
    std::uint16_t SetId = 0, Index = 0; // the set and this cabinet's place in it
    // The reserved areas: the header's (bytes, and where they start), each folder's and each
    // data block's.
    std::uint16_t HeaderReserve = 0;
    std::uint64_t HeaderReserveOffset = 0;
    std::uint8_t FolderReserve = 0, DataReserve = 0;
    std::uint64_t FoldersEnd = 0; // where the folder records end
    std::vector<CabFolderRecord> Folders;
    // The file records of the backed-up files; the catalog's record, when the cabinet carries
    // one, is Catalog.
    std::vector<CabFileRecord> Files;
    std::optional<CabFileRecord> Catalog;

    // The bytes the header's reserve adds to it: the fields of its sizes and its area.
    std::uint32_t ReserveBytes() const;
    // The data records of every folder, in order.
    std::vector<CabDataRecord> DataRecords() const;
    // The stored names, sorted.
    std::vector<std::string> SortedNames() const;
    // Stored name -> size; a name stored twice counts once.
    std::map<std::string, std::uint32_t> SizesByName() const;
};

CabDirectory ReadCabDirectory(const std::string& path);

} // namespace testsupport
