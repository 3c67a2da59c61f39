// The fixed records of a cabinet: CFHEADER with its CFFOLDER table, and CFFILE entries.
#pragma once

#include "platform/cabformat/CabinetFormat.h"
#include "platform/fci/fci.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrivane::cabinet {

struct Reserve {
    unsigned header = 0; // cbCFHeader, at most 60000
    unsigned folder = 0; // cbCFFolder, at most 255
    unsigned data = 0;   // cbCFData, at most 255

    bool any() const { return header != 0 || folder != 0 || data != 0; }
};

struct FolderRecord {
    std::uint64_t dataOffset = 0; // in the data temporary file
    std::uint64_t dataLength = 0;
    std::uint32_t blocks = 0;
    TCOMP type = tcompTYPE_NONE;
};

struct FileEntry {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t folderOffset = 0;
    std::uint16_t folder = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
};

struct CabinetIdentity {
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
};

using cabformat::kLongestName;

std::uint64_t headerSize(const Reserve& reserve);
std::uint64_t folderEntrySize(const Reserve& reserve);
std::uint64_t fileEntrySize(const std::string& name);

std::vector<std::uint8_t> fileEntryBytes(const FileEntry& entry);

// CFHEADER and the CFFOLDER table for a cabinet of `fileCount` entries taking `fileBytes`,
// followed by `dataBytes` of CFDATA records.
std::vector<std::uint8_t> headerBytes(const CabinetIdentity& identity, const Reserve& reserve,
                                      const std::vector<FolderRecord>& folders,
                                      std::uint32_t fileCount, std::uint64_t fileBytes,
                                      std::uint64_t dataBytes);

} // namespace ostrivane::cabinet
