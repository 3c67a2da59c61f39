// The listing of an existing cabinet (OperationMode omList): OnRead for each file record.
#include "cabinet/component/TMakeCab.h"
#include "cabinet/streams/TFileStream32.h"

#include <array>
#include <cstring>

namespace {

std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

std::uint16_t LittleEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

} // namespace

void TMakeCab::ListExistingArchive() {
    if (!OnRead) {
        DoError(ArchiveFile(), "OnRead", kErrRequiredEvent, "0");
        return;
    }
    std::uint8_t openError = 0;
    TFileStream32 archive(ArchiveFile(), fmOpenRead | fmShareDenyNone, openError);
    if (openError != 0) {
        DoError(ArchiveFile(), "", kErrOpeningFile, "0");
        return;
    }
    // The cabinet header: signature "MSCF", offset of the first file record at 16, number of
    // file records at 28. Each file record has 16 fixed bytes and a zero-terminated name.
    std::array<std::uint8_t, 36> header{};
    if (archive.Read(header.data(), static_cast<std::int32_t>(header.size())) !=
            static_cast<std::int32_t>(header.size()) ||
        std::memcmp(header.data(), "MSCF", 4) != 0) {
        return;
    }
    std::uint32_t offset = LittleEndian32(&header[16]);
    const std::uint16_t files = LittleEndian16(&header[28]);
    for (int number = 0; number < files && !GetCancel(); ++number) {
        std::array<std::uint8_t, 16 + 256> record{};
        if (archive.Seek(static_cast<std::int32_t>(offset), soFromBeginning) !=
            static_cast<std::int32_t>(offset)) {
            return;
        }
        const std::int32_t n =
            archive.Read(record.data(), static_cast<std::int32_t>(record.size()));
        const void* end =
            n > 16 ? std::memchr(&record[16], 0, static_cast<std::size_t>(n - 16)) : nullptr;
        if (end == nullptr) {
            return;
        }
        OnRead(this, static_cast<int>(offset), number);
        offset +=
            static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(end) - &record[0]) + 1;
    }
}
