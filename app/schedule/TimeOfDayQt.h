// The time-of-day rule (TimeOfDay.h) for the window's fields: texts as Qt holds them, read by the
// texts of a Qt locale (the user's by default).
#pragma once

#include "app/schedule/TimeOfDay.h"

#include <QLocale>
#include <QString>

namespace ostrivane {

// The separators and markers of `locale`.
TimeLocale TimeLocaleOf(const QLocale& locale = QLocale());

std::optional<TimeOfDay> ParseTimeOfDay(const QString& text, const QLocale& locale = QLocale());

bool IsValidTimeOfDay(const QString& text, const QLocale& locale = QLocale());

// The character between hours and minutes in the locale's short time format: the first one after
// the hour field that is neither a letter, a blank nor a quote ("H.mm" gives "."). ":" when the
// format has none (such as "HH 'h' mm").
QString TimeSeparator(const QLocale& locale);

} // namespace ostrivane
