#include "platform/libcabinet/cabinet_layout.h"

#include "platform/libcabinet/le_bytes.h"

namespace ostrivane::cabinet {

using namespace cabformat;

std::uint64_t headerSize(const Reserve& reserve) {
    return kFixedHeaderBytes + (reserve.any() ? kReserveSizesBytes + reserve.header : 0);
}

std::uint64_t folderEntrySize(const Reserve& reserve) {
    return kFolderRecordBytes + reserve.folder;
}

std::uint64_t fileEntrySize(const std::string& name) {
    return kFileRecordBytes + name.size() + 1;
}

std::vector<std::uint8_t> fileEntryBytes(const FileEntry& entry) {
    std::vector<std::uint8_t> out;
    out.reserve(fileEntrySize(entry.name));
    putU32(out, entry.size);
    putU32(out, entry.folderOffset);
    putU16(out, entry.folder);
    putU16(out, entry.date);
    putU16(out, entry.time);
    putU16(out, entry.attributes);
    putBytes(out, entry.name.c_str(), entry.name.size() + 1);
    return out;
}

std::vector<std::uint8_t> headerBytes(const CabinetIdentity& identity, const Reserve& reserve,
                                      const std::vector<FolderRecord>& folders,
                                      std::uint32_t fileCount, std::uint64_t fileBytes,
                                      std::uint64_t dataBytes) {
    const std::uint64_t filesAt = headerSize(reserve) + folders.size() * folderEntrySize(reserve);
    const std::uint64_t dataAt = filesAt + fileBytes;
    std::vector<std::uint8_t> out;
    out.reserve(filesAt);
    putBytes(out, "MSCF", 4);
    putU32(out, 0);
    putU32(out, static_cast<std::uint32_t>(dataAt + dataBytes));
    putU32(out, 0);
    putU32(out, static_cast<std::uint32_t>(filesAt));
    putU32(out, 0);
    putU8(out, kVersionMinor);
    putU8(out, kVersionMajor);
    putU16(out, static_cast<std::uint32_t>(folders.size()));
    putU16(out, fileCount);
    putU16(out, reserve.any() ? kFlagReservePresent : 0);
    putU16(out, identity.setId);
    putU16(out, identity.index);
    if (reserve.any()) {
        putU16(out, reserve.header);
        putU8(out, reserve.folder);
        putU8(out, reserve.data);
        putZeros(out, reserve.header);
    }
    for (const FolderRecord& folder : folders) {
        putU32(out, static_cast<std::uint32_t>(dataAt + folder.dataOffset));
        putU16(out, folder.blocks);
        putU16(out, folder.type);
        putZeros(out, reserve.folder);
    }
    return out;
}

} // namespace ostrivane::cabinet
