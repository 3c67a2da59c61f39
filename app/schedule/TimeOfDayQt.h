// The time-of-day rule (TimeOfDay.h) for texts as Qt holds them: the window's fields.
#pragma once

#include "app/schedule/TimeOfDay.h"

#include <QString>

namespace ostrivane {

std::optional<TimeOfDay> ParseTimeOfDay(const QString& text);

bool IsValidTimeOfDay(const QString& text);

} // namespace ostrivane
