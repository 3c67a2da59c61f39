#include "cabinet/streams/TStream32.h"

#include <limits>

namespace {

bool FitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

} // namespace

std::int32_t TStream32::GetSize() {
    const std::int32_t position = Seek(std::int32_t{0}, soFromCurrent);
    const std::int32_t size = Seek(std::int32_t{0}, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream32::SetSize(std::int32_t /*NewSize*/) {}

void TStream32::SetSize(std::int64_t NewSize) {
    if (!FitsInt32(NewSize)) {
        throw EStreamError("Range check error");
    }
    SetSize(static_cast<std::int32_t>(NewSize));
}

std::int32_t TStream32::Seek(std::int32_t Offset, std::uint16_t Origin) {
    if (!ProvidesSeek64()) {
        throw EStreamError("Seek not implemented");
    }
    return static_cast<std::int32_t>(Seek(static_cast<std::int64_t>(Offset), Origin));
}

std::int64_t TStream32::Seek(std::int64_t Offset, std::uint16_t Origin) {
    if (!FitsInt32(Offset)) {
        throw EStreamError("Range check error");
    }
    return static_cast<std::int64_t>(Seek(static_cast<std::int32_t>(Offset), Origin));
}
