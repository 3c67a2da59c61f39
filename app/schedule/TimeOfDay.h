// The time of day typed into a schedule field, read by one rule for every check of the schedule,
// for the scheduler and for the input check before a backup.
//
// Accepted, after the blanks and control characters around the text are trimmed:
//   [marker] hour [sep minutes [sep seconds [dec milliseconds]]] [marker]
// - marker: the locale's AM or PM text, or "AM" / "PM", without regard to case; at the front or
//   at the end, not both. With a marker the hour must be 1 .. 12; 12 counts as 0, PM adds 12.
// - hour, minutes, seconds, milliseconds: ASCII digits, as many as typed ("0000012" is 12);
//   absent minutes and seconds are 0. Milliseconds are the number the digits spell (".5" is 5
//   ms, not 500) and follow the seconds only: "12:30.5" is refused.
// - sep: the locale's time separator (see TimeSeparator); dec: its decimal separator.
// - blanks (space, tab, no-break spaces) may stand between the parts, but not inside a number.
// The result must be a real time: 0..23 h, 0..59 min, 0..59 s, 0..999 ms. Anything else,
// an empty text included, is refused.
#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace ostrivane {

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;

    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

std::optional<TimeOfDay> ParseTimeOfDay(const QString& text, const QLocale& locale = QLocale());

bool IsValidTimeOfDay(const QString& text, const QLocale& locale = QLocale());

// The character between hours and minutes in the locale's short time format: the first one after
// the hour field that is neither a letter, a blank nor a quote ("H.mm" gives "."). ":" when the
// format has none (such as "HH 'h' mm").
QString TimeSeparator(const QLocale& locale);

} // namespace ostrivane
