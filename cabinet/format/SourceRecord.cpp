#include "cabinet/format/SourceRecord.h"

#include "cabinet/format/CabinetHeader.h"
#include "cabinet/format/NulFields.h"
#include "cabinet/format/SetRecord.h"
#include "platform/fs/UniqueFd.h"

#include <array>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::cabformat {

namespace {

constexpr std::string_view kMagic = "OSTRIVANE-SOURCES 1";

} // namespace

std::string EncodeSourceRecord(const std::vector<SourceGroup>& groups) {
    std::string record(kMagic);
    record += '\0';
    record += std::to_string(groups.size());
    record += '\0';
    for (const SourceGroup& group : groups) {
        record += group.StoredPrefix;
        record += '\0';
        record += group.Folder;
        record += '\0';
    }
    return record.size() + kSetRecordBytes <= kMostHeaderReserve ? record : std::string();
}

std::optional<std::vector<SourceGroup>> DecodeSourceRecord(const std::uint8_t* bytes,
                                                           std::size_t size) {
    NulFields fields(std::string_view(reinterpret_cast<const char*>(bytes), size));
    if (fields.Next() != kMagic)
        return std::nullopt;
    const auto countText = fields.Next();
    std::size_t count = 0;
    if (!countText ||
        std::from_chars(countText->data(), countText->data() + countText->size(), count).ec !=
            std::errc() ||
        count > size)
        return std::nullopt;
    std::vector<SourceGroup> groups;
    for (std::size_t i = 0; i < count; ++i) {
        const auto prefix = fields.Next();
        const auto folder = fields.Next();
        if (!prefix || !folder)
            return std::nullopt;
        groups.push_back({std::string(*prefix), std::string(*folder)});
    }
    return groups;
}

std::optional<std::vector<SourceGroup>> ReadSourceRecord(const std::string& path) {
    const CabinetPlace place = ReadCabinetPlace(path, false);
    if (!place.IsCabinet() || place.Header.HeaderReserve == 0)
        return std::nullopt;
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return std::nullopt;
    const auto reserve = ReadHeaderReserve(fd.Get(), place.Header);
    if (!reserve)
        return std::nullopt;
    const std::size_t at = place.Set ? place.Set->Length : 0;
    return DecodeSourceRecord(reserve->data() + at, reserve->size() - at);
}

} // namespace ostrivane::cabformat
