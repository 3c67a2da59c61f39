// The catalog of a backup's cabinet: what the cabinet's own records cannot say about the files it
// holds, and what a cabinet cannot hold at all. It travels as one member of every cabinet a
// backup writes, under the reserved name kCatalogName, in a folder of its own after the files (so
// that the damage of a folder of files never takes it along); every cabinet tool lists and
// extracts it as a small file, and our readers read it, check it and hide it. One layout, all
// numbers little-endian:
//
//   HEAD (its length at 20; kCatalogHeadBytes in version 1)
//      0  "OSTRIVANE-CATALOG" and a NUL (18 bytes)
//     18  the version, 16 bits: 1
//     20  the head's length, 16 bits: where the first entry begins
//     22  an entry's fixed length, 16 bits: where an entry's texts begin (kEntryHeadBytes in
//         version 1); a later version adds its fields to the head and to each entry and says so
//         by these lengths, and a reader of version 1 skips what it does not know
//     24  the time the backup started, seconds since 1970 (UTC), signed 64 bits
//     32  its nanoseconds, 32 bits
//     36  the number of entries, 32 bits
//     40  8 bytes of zeros
//   ENTRY, one after another
//      0  the kind, 8 bits: 1 a file (a member of the cabinet), 2 a folder, 3 a symbolic link
//      1  flags, 8 bits: kFlagEmptyFolder, a folder that held nothing; kFlagNoChecksum, a file
//         whose bytes were not read in order, so that no CRC-64 of them could be taken
//      2  the POSIX mode's permission bits (st_mode & 07777), 16 bits
//      4  the modification time, seconds since 1970 (UTC), signed 64 bits
//     12  its nanoseconds, 32 bits
//     16  a file's size in bytes, 64 bits (0 for the others)
//     24  a file's CRC-64 (ECMA-182, reflected, as xz computes it) of the bytes read from the disk
//         while it was packed, 64 bits; independent of the data blocks' checksums
//     32  the length of the name, 16 bits
//     34  the length of a link's target, 16 bits
//     36  4 bytes of zeros
//     40  the name as the cabinet stores names ("\" between the parts, UTF-8 or as it was on the
//         disk), then the link's target as the system gave it
//   TRAIL
//      0  the CRC-64 of every byte before it, 64 bits
//
// The files come in the order of the cabinet's file records (the catalog itself not counted);
// folders and links lie between them where the walk met them. A folder is listed with its mode
// and time whether or not it is empty, so that a restore can give back every folder it makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivane::cabformat {

// The member's name inside every cabinet of a backup. No stored name of a backed-up file can be
// it: every one lies below its source's folder name, and a source at the root of the file system
// that holds a file of this name has that file reported as not storable.
inline constexpr std::string_view kCatalogName = ".ostrivane-catalog";

inline constexpr char kCatalogSignature[] = "OSTRIVANE-CATALOG"; // with its NUL, 18 bytes
inline constexpr std::uint16_t kCatalogVersion = 1;
inline constexpr std::size_t kCatalogVersionAt = 18;
inline constexpr std::size_t kCatalogHeadLengthAt = 20;
inline constexpr std::size_t kCatalogEntryLengthAt = 22;
inline constexpr std::size_t kCatalogStartSecondsAt = 24;
inline constexpr std::size_t kCatalogStartNanosecondsAt = 32;
inline constexpr std::size_t kCatalogCountAt = 36;
inline constexpr std::size_t kCatalogHeadBytes = 48;

inline constexpr std::size_t kEntryKindAt = 0;
inline constexpr std::size_t kEntryFlagsAt = 1;
inline constexpr std::size_t kEntryModeAt = 2;
inline constexpr std::size_t kEntrySecondsAt = 4;
inline constexpr std::size_t kEntryNanosecondsAt = 12;
inline constexpr std::size_t kEntrySizeAt = 16;
inline constexpr std::size_t kEntryCrcAt = 24;
inline constexpr std::size_t kEntryNameLengthAt = 32;
inline constexpr std::size_t kEntryTargetLengthAt = 34;
inline constexpr std::size_t kEntryHeadBytes = 40;
inline constexpr std::size_t kCatalogTrailBytes = 8;

inline constexpr std::uint8_t kFlagEmptyFolder = 0x01;
inline constexpr std::uint8_t kFlagNoChecksum = 0x02;

enum class CatalogKind : std::uint8_t { File = 1, Folder = 2, Link = 3 };

// A time to the nanosecond, seconds since 1970 (UTC).
struct CatalogTime {
    std::int64_t Seconds = 0;
    std::uint32_t Nanoseconds = 0;
};

// One entry; its texts lie in the catalog's bytes (Catalog::Name, Catalog::Target).
struct CatalogEntry {
    CatalogKind Kind = CatalogKind::File;
    std::uint8_t Flags = 0;
    std::uint16_t Mode = 0;
    CatalogTime Modified;
    std::uint64_t Size = 0;
    std::uint64_t Crc64 = 0;
    std::uint32_t NameAt = 0;
    std::uint16_t NameSize = 0;
    std::uint32_t TargetAt = 0;
    std::uint16_t TargetSize = 0;

    bool EmptyFolder() const { return Kind == CatalogKind::Folder && (Flags & kFlagEmptyFolder); }
    bool Checksummed() const { return Kind == CatalogKind::File && !(Flags & kFlagNoChecksum); }
};

// A catalog read from a cabinet.
struct Catalog {
    CatalogTime Started;
    std::vector<CatalogEntry> Entries;
    std::string Bytes; // the member's bytes, which the entries' texts point into

    std::string_view Name(const CatalogEntry& entry) const {
        return std::string_view(Bytes).substr(entry.NameAt, entry.NameSize);
    }
    std::string_view Target(const CatalogEntry& entry) const {
        return std::string_view(Bytes).substr(entry.TargetAt, entry.TargetSize);
    }
};

// CRC-64 as xz computes it (ECMA-182 polynomial, reflected), through ISA-L; `crc` is the value so
// far (0 to begin).
std::uint64_t Crc64(std::uint64_t crc, const void* bytes, std::size_t count);

// The catalog of one cabinet, written entry by entry as a build goes and taken whole before the
// cabinet is completed.
class CatalogWriter {
public:
    void Start(const CatalogTime& started);
    void AddFile(std::string_view name, std::uint16_t mode, const CatalogTime& modified,
                 std::uint64_t size, std::uint64_t crc64);
    void AddUncheckedFile(std::string_view name, std::uint16_t mode, const CatalogTime& modified,
                          std::uint64_t size);
    void AddFolder(std::string_view name, std::uint16_t mode, const CatalogTime& modified,
                   bool empty);
    void AddLink(std::string_view name, const CatalogTime& modified, std::string_view target);
    // The entries so far.
    std::uint32_t Count() const { return count_; }
    // The bytes Finish would give now, and the bytes an entry of these texts adds.
    std::size_t FinishedBytes() const { return bytes_.size() + kCatalogTrailBytes; }
    static std::size_t EntryBytes(std::size_t nameSize, std::size_t targetSize) {
        return kEntryHeadBytes + nameSize + targetSize;
    }
    // The whole catalog; the writer starts again empty, with the same time.
    std::string Finish();

private:
    void Add(CatalogKind kind, std::uint8_t flags, std::uint16_t mode, const CatalogTime& modified,
             std::uint64_t size, std::uint64_t crc64, std::string_view name,
             std::string_view target);

    CatalogTime started_;
    std::string bytes_;
    std::uint32_t count_ = 0;
};

// The catalog in `bytes`; nothing, with `problem` set, when they are not one (a wrong signature,
// lengths that do not fit, a checksum that differs).
std::optional<Catalog> DecodeCatalog(std::string bytes, std::string& problem);

} // namespace ostrivane::cabformat
