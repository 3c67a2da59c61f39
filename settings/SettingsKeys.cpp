#include "settings/SettingsKeys.h"

#include <array>

namespace ostrivane::settings {

namespace {

const std::array<QString, kDayCount> kDayNames = {
    QStringLiteral("Pondělí"), QStringLiteral("Úterý"), QStringLiteral("Středa"),
    QStringLiteral("Čtvrtek"), QStringLiteral("Pátek"), QStringLiteral("Sobota"),
    QStringLiteral("Neděle"),
};

} // namespace

QString DayKey(int day) {
    return kDayNames.at(static_cast<std::size_t>(day - 1));
}

QString DayTimeKey(int day) {
    return DayKey(day) + QStringLiteral(" čas");
}

QString SourceFolderKey(int index) {
    return QStringLiteral("Adresář ") + QString::number(index);
}

QString SourceMaskKey(int index) {
    return QStringLiteral("Přípona ") + QString::number(index);
}

} // namespace ostrivane::settings
