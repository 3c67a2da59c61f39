// The listing of an existing cabinet (OperationMode omList): OnRead for each file record.
#include "cabinet/component/TMakeCab.h"
#include "cabinet/streams/TFileStream32.h"

#include <array>
#include <cstring>

namespace cf = ostrivane::cabformat;

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
    // The fixed header gives the offset and the number of the file records; each record has its
    // fixed bytes and a zero-terminated name.
    std::array<std::uint8_t, cf::kFixedHeaderBytes> header{};
    if (archive.Read(header.data(), static_cast<std::int32_t>(header.size())) !=
            static_cast<std::int32_t>(header.size()) ||
        cf::LoadU32(header.data()) != cf::kSignature) {
        return;
    }
    std::uint32_t offset = cf::LoadU32(&header[cf::kHeaderFilesOffsetAt]);
    const std::uint16_t files = cf::LoadU16(&header[cf::kHeaderFilesAt]);
    for (int number = 0; number < files && !GetCancel(); ++number) {
        std::array<std::uint8_t, cf::kFileRecordBytes + cf::kLongestName + 1> record{};
        if (archive.Seek(static_cast<std::int32_t>(offset), soFromBeginning) !=
            static_cast<std::int32_t>(offset)) {
            return;
        }
        const std::int32_t n =
            archive.Read(record.data(), static_cast<std::int32_t>(record.size()));
        constexpr std::int32_t kNameAt = cf::kFileRecordBytes;
        const void* end =
            n > kNameAt ? std::memchr(&record[kNameAt], 0, static_cast<std::size_t>(n - kNameAt))
                        : nullptr;
        if (end == nullptr) {
            return;
        }
        OnRead(this, static_cast<int>(offset), number);
        offset +=
            static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(end) - &record[0]) + 1;
    }
}
