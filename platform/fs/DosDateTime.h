// DOS date and time, the way archives keep a file's modification time: local time packed into
// 16 bits of date (year - 1980: 7 bits, month: 4, day: 5) and 16 bits of time (hour: 5,
// minute: 6, seconds / 2: 5), usually as one 32-bit value with the date in its high half.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace ostrivane::fs {

// The packed date and time of a broken-down local time, clamped to what the format holds:
// 1980-01-01 00:00:00 .. 2107-12-31 23:59:58.
std::uint32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second);

// The packed local date and time of `seconds` since the epoch, clamped likewise.
std::uint32_t DosDateTimeOf(std::time_t seconds);

struct DosFields {
    int Year = 1980;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

// The fields of a date and a time as stored, as they stand (not checked).
DosFields UnpackDosDateTime(std::uint16_t date, std::uint16_t time);

// The moment a date and a time as stored name in local time; nothing when they name no date.
std::optional<std::time_t> TimeOfDosDateTime(std::uint16_t date, std::uint16_t time);

} // namespace ostrivane::fs
