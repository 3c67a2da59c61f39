// The time of day typed into a schedule field, read by one rule for every check of the schedule,
// for the scheduler and for the input check before a backup (the window's and ostrivane-cab
// --settings'). Plain C++: the locale's texts come in a TimeLocale, from Qt's locale for the
// window (TimeOfDayQt.h) and from the C library's for the command line.
//
// Accepted, after the blanks and control characters around the text are trimmed:
//   [marker] hour [sep minutes [sep seconds [dec milliseconds]]] [marker]
// - marker: the locale's AM or PM text, or "AM" / "PM", without regard to case (for the letters
//   of the Latin scripts); at the front or at the end, not both. With a marker the hour must be
//   1 .. 12; 12 counts as 0, PM adds 12.
// - hour, minutes, seconds, milliseconds: ASCII digits, as many as typed ("0000012" is 12);
//   absent minutes and seconds are 0. Milliseconds are the number the digits spell (".5" is 5
//   ms, not 500) and follow the seconds only: "12:30.5" is refused.
// - sep: the locale's time separator; dec: its decimal separator.
// - blanks (space, tab, no-break spaces) may stand between the parts, but not inside a number.
// The result must be a real time: 0..23 h, 0..59 min, 0..59 s, 0..999 ms. Anything else,
// an empty text included, is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrivane {

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;

    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

// The texts of a locale that a time is read by (UTF-8); the defaults are the C locale's.
struct TimeLocale {
    std::string Separator = ":"; // between hours and minutes
    std::string Decimal = ".";   // before the milliseconds
    std::string Am = "AM";
    std::string Pm = "PM";
};

// `text` is UTF-8.
std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text, const TimeLocale& locale);

bool IsValidTimeOfDay(std::string_view text, const TimeLocale& locale);

// The C library's locale of the process's environment (LC_ALL, LC_TIME and LC_NUMERIC, LANG):
// the separator that its time format puts after the hour (the first character that is neither a
// letter, a blank nor a quote; ":" when there is none), its decimal point and its AM and PM
// texts. The C locale's texts where the environment names no locale the system has.
TimeLocale SystemTimeLocale();

} // namespace ostrivane
