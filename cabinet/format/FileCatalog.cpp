#include "cabinet/format/FileCatalog.h"

#include "cabinet/format/ReadReasons.h"
#include "platform/cabformat/CabinetFormat.h"

#include <isa-l/crc64.h>

#include <cstring>

namespace ostrivane::cabformat {

namespace {

void PutU64(std::uint8_t* at, std::uint64_t value) {
    StoreU32(at, static_cast<std::uint32_t>(value));
    StoreU32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint64_t LoadU64(const std::uint8_t* at) {
    return LoadU32(at) | static_cast<std::uint64_t>(LoadU32(at + 4)) << 32;
}

std::uint8_t* Bytes(std::string& text, std::size_t at) {
    return reinterpret_cast<std::uint8_t*>(text.data() + at); // NOLINT
}

} // namespace

std::uint64_t Crc64(std::uint64_t crc, const void* bytes, std::size_t count) {
    return crc64_ecma_refl(crc, static_cast<const unsigned char*>(bytes), count);
}

void CatalogWriter::Start(const CatalogTime& started) {
    started_ = started;
    bytes_.assign(kCatalogHeadBytes, '\0');
    std::memcpy(bytes_.data(), kCatalogSignature, sizeof kCatalogSignature);
    StoreU16(Bytes(bytes_, kCatalogVersionAt), kCatalogVersion);
    StoreU16(Bytes(bytes_, kCatalogHeadLengthAt), kCatalogHeadBytes);
    StoreU16(Bytes(bytes_, kCatalogEntryLengthAt), kEntryHeadBytes);
    PutU64(Bytes(bytes_, kCatalogStartSecondsAt), static_cast<std::uint64_t>(started.Seconds));
    StoreU32(Bytes(bytes_, kCatalogStartNanosecondsAt), started.Nanoseconds);
    count_ = 0;
}

void CatalogWriter::Add(CatalogKind kind, std::uint8_t flags, std::uint16_t mode,
                        const CatalogTime& modified, std::uint64_t size, std::uint64_t crc64,
                        std::string_view name, std::string_view target) {
    if (bytes_.empty())
        Start(started_);
    const std::size_t at = bytes_.size();
    bytes_.resize(at + kEntryHeadBytes);
    std::uint8_t* entry = Bytes(bytes_, at);
    entry[kEntryKindAt] = static_cast<std::uint8_t>(kind);
    entry[kEntryFlagsAt] = flags;
    StoreU16(entry + kEntryModeAt, mode);
    PutU64(entry + kEntrySecondsAt, static_cast<std::uint64_t>(modified.Seconds));
    StoreU32(entry + kEntryNanosecondsAt, modified.Nanoseconds);
    PutU64(entry + kEntrySizeAt, size);
    PutU64(entry + kEntryCrcAt, crc64);
    StoreU16(entry + kEntryNameLengthAt, static_cast<std::uint32_t>(name.size()));
    StoreU16(entry + kEntryTargetLengthAt, static_cast<std::uint32_t>(target.size()));
    bytes_.append(name);
    bytes_.append(target);
    ++count_;
}

void CatalogWriter::AddFile(std::string_view name, std::uint16_t mode, const CatalogTime& modified,
                            std::uint64_t size, std::uint64_t crc64) {
    Add(CatalogKind::File, 0, mode, modified, size, crc64, name, {});
}

void CatalogWriter::AddUncheckedFile(std::string_view name, std::uint16_t mode,
                                     const CatalogTime& modified, std::uint64_t size) {
    Add(CatalogKind::File, kFlagNoChecksum, mode, modified, size, 0, name, {});
}

void CatalogWriter::AddFolder(std::string_view name, std::uint16_t mode,
                              const CatalogTime& modified, bool empty) {
    Add(CatalogKind::Folder, empty ? kFlagEmptyFolder : 0, mode, modified, 0, 0, name, {});
}

void CatalogWriter::AddLink(std::string_view name, const CatalogTime& modified,
                            std::string_view target) {
    Add(CatalogKind::Link, 0, 0777, modified, 0, 0, name, target);
}

std::string CatalogWriter::Finish() {
    if (bytes_.empty())
        Start(started_);
    StoreU32(Bytes(bytes_, kCatalogCountAt), count_);
    std::string whole = std::move(bytes_);
    const std::uint64_t crc = Crc64(0, whole.data(), whole.size());
    whole.resize(whole.size() + kCatalogTrailBytes);
    PutU64(Bytes(whole, whole.size() - kCatalogTrailBytes), crc);
    bytes_.clear();
    Start(started_);
    return whole;
}

std::optional<Catalog> DecodeCatalog(std::string bytes, std::string& problem) {
    const auto refuse = [&problem](std::string reason) -> std::optional<Catalog> {
        problem = std::move(reason);
        return std::nullopt;
    };
    if (bytes.size() < kCatalogHeadBytes + kCatalogTrailBytes ||
        std::memcmp(bytes.data(), kCatalogSignature, sizeof kCatalogSignature) != 0)
        return refuse(reasons::CatalogNotOne());
    const std::size_t body = bytes.size() - kCatalogTrailBytes;
    if (Crc64(0, bytes.data(), body) != LoadU64(Bytes(bytes, body)))
        return refuse(reasons::CatalogChecksum());
    const std::size_t headLength = LoadU16(Bytes(bytes, kCatalogHeadLengthAt));
    const std::size_t entryLength = LoadU16(Bytes(bytes, kCatalogEntryLengthAt));
    if (LoadU16(Bytes(bytes, kCatalogVersionAt)) < 1 || headLength < kCatalogHeadBytes ||
        entryLength < kEntryHeadBytes || headLength > body)
        return refuse(reasons::CatalogNotOne());
    Catalog catalog;
    catalog.Started.Seconds =
        static_cast<std::int64_t>(LoadU64(Bytes(bytes, kCatalogStartSecondsAt)));
    catalog.Started.Nanoseconds = LoadU32(Bytes(bytes, kCatalogStartNanosecondsAt));
    const std::uint32_t count = LoadU32(Bytes(bytes, kCatalogCountAt));
    // Every entry takes at least its fixed bytes: a count beyond that is no catalog.
    if (count > (body - headLength) / entryLength)
        return refuse(reasons::CatalogNotOne());
    catalog.Entries.reserve(count);
    std::size_t at = headLength;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (body - at < entryLength)
            return refuse(reasons::CatalogNotOne());
        const std::uint8_t* head = Bytes(bytes, at);
        CatalogEntry entry;
        const std::uint8_t kind = head[kEntryKindAt];
        if (kind < 1 || kind > 3)
            return refuse(reasons::CatalogNotOne());
        entry.Kind = static_cast<CatalogKind>(kind);
        entry.Flags = head[kEntryFlagsAt];
        entry.Mode = LoadU16(head + kEntryModeAt);
        entry.Modified.Seconds = static_cast<std::int64_t>(LoadU64(head + kEntrySecondsAt));
        entry.Modified.Nanoseconds = LoadU32(head + kEntryNanosecondsAt);
        entry.Size = LoadU64(head + kEntrySizeAt);
        entry.Crc64 = LoadU64(head + kEntryCrcAt);
        entry.NameSize = LoadU16(head + kEntryNameLengthAt);
        entry.TargetSize = LoadU16(head + kEntryTargetLengthAt);
        at += entryLength;
        if (body - at < std::size_t{entry.NameSize} + entry.TargetSize)
            return refuse(reasons::CatalogNotOne());
        entry.NameAt = static_cast<std::uint32_t>(at);
        entry.TargetAt = static_cast<std::uint32_t>(at + entry.NameSize);
        at += std::size_t{entry.NameSize} + entry.TargetSize;
        catalog.Entries.push_back(entry);
    }
    catalog.Bytes = std::move(bytes);
    return catalog;
}

} // namespace ostrivane::cabformat
