// The time of day typed into a schedule field or saved in the settings file, read by one rule
// for every check of the schedule, for the scheduler and for the input check before a backup (the
// window's and ostrivane-cab --settings'), whatever the locale: a time saved under one locale is
// read the same under every other. Plain C++.
//
// Accepted, after the blanks and control characters around the text are trimmed:
//   [marker] hour [":" minutes [":" seconds ["." milliseconds]]] [marker]
// - marker: "AM" or "PM", without regard to case; at the front or at the end, not both. With a
//   marker the hour must be 1 .. 12; 12 counts as 0, PM adds 12.
// - hour, minutes, seconds, milliseconds: ASCII digits, as many as typed ("0000012" is 12);
//   absent minutes and seconds are 0. Milliseconds are the number the digits spell (".5" is 5
//   ms, not 500) and follow the seconds only: "12:30.5" is refused.
// - blanks (space, tab, no-break spaces) may stand between the parts, but not inside a number.
// The result must be a real time: 0..23 h, 0..59 min, 0..59 s, 0..999 ms. Anything else,
// an empty text included, is refused.
#pragma once

#include <optional>
#include <string_view>

namespace ostrivane {

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;

    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

// `text` is UTF-8.
std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text);

bool IsValidTimeOfDay(std::string_view text);

} // namespace ostrivane
