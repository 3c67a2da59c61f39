#include "cabinet/format/SourceRecord.h"

#include "cabinet/format/CabinetHeader.h"
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

// The fields of a record, each ended by a NUL.
class Fields {
public:
    Fields(const std::uint8_t* bytes, std::size_t size)
        : text_(reinterpret_cast<const char*>(bytes), size) {}
    std::optional<std::string_view> Next() {
        const auto end = text_.find('\0', at_);
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view field = text_.substr(at_, end - at_);
        at_ = end + 1;
        return field;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::optional<CabinetHeader> HeaderOf(int fd) {
    std::array<std::uint8_t, kHeaderReserveAt> bytes{};
    const ssize_t read = ::pread(fd, bytes.data(), bytes.size(), 0);
    if (read < 0)
        return std::nullopt;
    return ParseCabinetHeader(bytes.data(), static_cast<std::size_t>(read));
}

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
    return record.size() <= kMostHeaderReserve ? record : std::string();
}

std::optional<std::vector<SourceGroup>> DecodeSourceRecord(const std::uint8_t* bytes,
                                                           std::size_t size) {
    Fields fields(bytes, size);
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

bool WriteSourceRecord(const std::string& path, const std::string& record) {
    const UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid() || record.empty())
        return false;
    const auto header = HeaderOf(fd.Get());
    if (!header || header->HeaderReserve != record.size())
        return false;
    return ::pwrite(fd.Get(), record.data(), record.size(), kHeaderReserveAt) ==
           static_cast<ssize_t>(record.size());
}

std::optional<std::vector<SourceGroup>> ReadSourceRecord(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const auto header = HeaderOf(fd.Get());
    if (!header || header->HeaderReserve == 0)
        return std::nullopt;
    std::vector<std::uint8_t> reserve(header->HeaderReserve);
    if (::pread(fd.Get(), reserve.data(), reserve.size(), kHeaderReserveAt) !=
        static_cast<ssize_t>(reserve.size()))
        return std::nullopt;
    return DecodeSourceRecord(reserve.data(), reserve.size());
}

} // namespace ostrivane::cabformat
