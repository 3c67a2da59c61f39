#include "cabinet/format/SetRecord.h"

#include "platform/fs/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::cabformat {

namespace {

constexpr std::string_view kTag{"OSTRIVANE-SET\0", 14};
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kVersionAt = 14;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kTokenAt = 18;
constexpr std::size_t kIndexAt = 34;
constexpr std::size_t kCountAt = 36;

std::optional<CabinetHeader> HeaderOf(int fd) {
    std::uint8_t bytes[kHeaderReserveAt] = {};
    const ssize_t read = ::pread(fd, bytes, sizeof bytes, 0);
    if (read < 0)
        return std::nullopt;
    return ParseCabinetHeader(bytes, static_cast<std::size_t>(read));
}

} // namespace

SetToken NewSetToken() {
    std::random_device entropy;
    SetToken token{};
    for (std::size_t i = 0; i < token.size(); i += 4) {
        const unsigned value = entropy();
        for (std::size_t j = 0; j < 4; ++j)
            token[i + j] = static_cast<std::uint8_t>(value >> (8 * j));
    }
    return token;
}

std::string EncodeSetRecord(const SetRecord& record) {
    std::string bytes(kSetRecordBytes, '\0');
    auto* at = reinterpret_cast<std::uint8_t*>(bytes.data());
    std::memcpy(at, kTag.data(), kTag.size());
    StoreU16(at + kVersionAt, kVersion);
    StoreU16(at + kLengthAt, kSetRecordBytes);
    std::memcpy(at + kTokenAt, record.Token.data(), record.Token.size());
    StoreU16(at + kIndexAt, record.Index);
    StoreU16(at + kCountAt, record.Count);
    return bytes;
}

std::optional<SetRecord> DecodeSetRecord(const std::uint8_t* bytes, std::size_t size) {
    if (size < kSetRecordBytes || std::memcmp(bytes, kTag.data(), kTag.size()) != 0)
        return std::nullopt;
    const std::uint16_t version = LoadU16(bytes + kVersionAt);
    SetRecord record;
    record.Length = LoadU16(bytes + kLengthAt);
    if (version < 1 || record.Length < kSetRecordBytes || record.Length > size)
        return std::nullopt;
    std::memcpy(record.Token.data(), bytes + kTokenAt, record.Token.size());
    record.Index = LoadU16(bytes + kIndexAt);
    record.Count = LoadU16(bytes + kCountAt);
    if (record.Index == 0 || record.Count == 0)
        return std::nullopt; // a reserve the writer never filled
    return record;
}

bool WriteHeaderReserve(const std::string& path, const std::string& bytes) {
    const UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid())
        return false;
    const auto header = HeaderOf(fd.Get());
    if (!header || header->HeaderReserve < bytes.size()) {
        errno = EINVAL;
        return false;
    }
    return ::pwrite(fd.Get(), bytes.data(), bytes.size(), kHeaderReserveAt) ==
           static_cast<ssize_t>(bytes.size());
}

std::optional<std::vector<std::uint8_t>> ReadHeaderReserve(int fd, const CabinetHeader& header) {
    std::vector<std::uint8_t> reserve(header.HeaderReserve);
    if (!reserve.empty() && ::pread(fd, reserve.data(), reserve.size(), kHeaderReserveAt) !=
                                static_cast<ssize_t>(reserve.size()))
        return std::nullopt;
    return reserve;
}

CabinetPlace ReadCabinetPlace(const std::string& path, bool followLink) {
    CabinetPlace place;
    struct stat info {};
    // Looked at before it is opened: opening a FIFO or a device may wait or act.
    if ((followLink ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0) {
        place.Error = errno;
        place.Status =
            errno == ENOENT || errno == ENOTDIR ? PlaceStatus::Missing : PlaceStatus::Unreadable;
        return place;
    }
    if (!S_ISREG(info.st_mode)) {
        place.Status = PlaceStatus::NotRegular;
        return place;
    }
    const UniqueFd fd(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)));
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0) {
        place.Error = errno;
        place.Status = PlaceStatus::Unreadable;
        return place;
    }
    if (!S_ISREG(info.st_mode)) {
        place.Status = PlaceStatus::NotRegular;
        return place;
    }
    place.FileSize = static_cast<std::uint64_t>(info.st_size);
    const auto header = HeaderOf(fd.Get());
    if (!header) {
        place.Status = PlaceStatus::NotCabinet;
        return place;
    }
    place.Status = PlaceStatus::Cabinet;
    place.Header = *header;
    if (const auto reserve = ReadHeaderReserve(fd.Get(), *header))
        place.Set = DecodeSetRecord(reserve->data(), reserve->size());
    return place;
}

} // namespace ostrivane::cabformat
