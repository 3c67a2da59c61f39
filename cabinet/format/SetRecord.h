// Where each cabinet of a backup stands in its set. The record lies at the start of every
// cabinet's header reserve, which every reader skips, so each cabinet stays a standalone
// cabinet while every reader of ours sees a missing, foreign, cut, repeated or extra part:
//
//    0  "OSTRIVANE-SET" and a NUL (14 bytes)
//   14  the version, 16 bits little-endian: 1
//   16  the record's length in bytes, 16 bits: 38 for version 1. A later version adds its fields
//       after those of version 1 and says so by a greater length; a reader of an earlier version
//       reads the fields it knows and skips the rest
//   18  the backup's token: 16 random bytes, the same in every cabinet of one backup, which ties
//       each part to its first cabinet
//   34  the cabinet's index in the set, 16 bits, 1 for the first
//   36  the number of cabinets in the set, 16 bits
//
// The first cabinet's record of the sources (SourceRecord.h) follows the set record. The number
// of cabinets is known only when the last one is complete: the writer makes the reserve with
// zeros and fills the records of every cabinet afterwards, before they are synced and read back.
// Cabinets written before sets carried the record begin their reserve with the record of the
// sources, or have none.
#pragma once

#include "cabinet/format/CabinetHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane::cabformat {

using SetToken = std::array<std::uint8_t, 16>;

struct SetRecord {
    SetToken Token{};
    std::uint16_t Index = 0; // 1 for the first cabinet
    std::uint16_t Count = 0;
    // Where the next record of the reserve begins (the record's own length).
    std::uint16_t Length = 0;
};

// The length of a version 1 record.
inline constexpr std::size_t kSetRecordBytes = 38;

// 16 bytes no other backup carries.
SetToken NewSetToken();

// The record's bytes (version 1, kSetRecordBytes of them).
std::string EncodeSetRecord(const SetRecord& record);
// The record at the start of a header reserve; nothing when the bytes hold none.
std::optional<SetRecord> DecodeSetRecord(const std::uint8_t* bytes, std::size_t size);

// Writes `bytes` at the start of the header reserve of the cabinet `path`, whose reserve must
// hold them. False (errno set where the system refused) otherwise.
bool WriteHeaderReserve(const std::string& path, const std::string& bytes);
// The header reserve of the cabinet open as `fd` (empty when it has none); nothing when it
// cannot be read.
std::optional<std::vector<std::uint8_t>> ReadHeaderReserve(int fd, const CabinetHeader& header);

// What a file under a cabinet's name is, read without waiting on anything but a regular file.
enum class PlaceStatus {
    Cabinet,    // a cabinet (Header, FileSize and Set are read)
    Missing,    // no file of that name
    NotRegular, // a folder, a link (when not followed), a FIFO, a device...
    Unreadable, // there, but it cannot be opened or read (Error)
    NotCabinet, // a regular file that does not begin as a cabinet
};

struct CabinetPlace {
    PlaceStatus Status = PlaceStatus::Missing;
    int Error = 0;
    CabinetHeader Header;
    std::uint64_t FileSize = 0;
    std::optional<SetRecord> Set; // none in a cabinet written before, or by another program

    bool IsCabinet() const { return Status == PlaceStatus::Cabinet; }
    // The file is shorter than its header says.
    bool CutShort() const { return IsCabinet() && FileSize < Header.CabinetSize; }
};

// What the file `path` is (following a final symbolic link only with `followLink`). Anything but
// a regular file is never opened.
CabinetPlace ReadCabinetPlace(const std::string& path, bool followLink);

} // namespace ostrivane::cabformat
