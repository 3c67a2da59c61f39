#include "platform/fs/DosDateTime.h"

#include <algorithm>

namespace ostrivane::fs {

std::uint32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980)
        return (1u << 21) | (1u << 16); // 1980-01-01 00:00:00
    if (year > 2107)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (static_cast<std::uint32_t>(year - 1980) << 25) |
           (static_cast<std::uint32_t>(month) << 21) | (static_cast<std::uint32_t>(day) << 16) |
           (static_cast<std::uint32_t>(hour) << 11) | (static_cast<std::uint32_t>(minute) << 5) |
           static_cast<std::uint32_t>(std::min(second, 59) / 2);
}

std::uint32_t DosDateTimeOf(std::time_t seconds) {
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr)
        return PackDosDateTime(1980, 1, 1, 0, 0, 0);
    return PackDosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec);
}

DosFields UnpackDosDateTime(std::uint16_t date, std::uint16_t time) {
    return {1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F,
            time >> 11,         (time >> 5) & 0x3F, (time & 0x1F) * 2};
}

std::optional<std::time_t> TimeOfDosDateTime(std::uint16_t date, std::uint16_t time) {
    const DosFields fields = UnpackDosDateTime(date, time);
    if (fields.Month < 1 || fields.Month > 12 || fields.Day == 0)
        return std::nullopt;
    std::tm local{};
    local.tm_year = fields.Year - 1900;
    local.tm_mon = fields.Month - 1;
    local.tm_mday = fields.Day;
    local.tm_hour = fields.Hour;
    local.tm_min = fields.Minute;
    local.tm_sec = fields.Second;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return seconds;
}

} // namespace ostrivane::fs
