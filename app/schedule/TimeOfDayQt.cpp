#include "app/schedule/TimeOfDayQt.h"

namespace ostrivane {

std::optional<TimeOfDay> ParseTimeOfDay(const QString& text) {
    return ParseTimeOfDay(text.toStdString());
}

bool IsValidTimeOfDay(const QString& text) {
    return ParseTimeOfDay(text).has_value();
}

} // namespace ostrivane
