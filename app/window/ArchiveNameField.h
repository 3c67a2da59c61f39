// The archive name field ("Název souboru zálohy") as the input check leaves it before a backup:
// a name without ".cab" in it gets ".cab" in place of whatever follows its first "." (Záloha.zip
// becomes Záloha.cab, data becomes data.cab); an empty name stays empty.
#pragma once

#include <QString>

namespace ostrivane::ui {

inline QString ArchiveNameWithCab(const QString& trimmedName) {
    if (trimmedName.contains(QStringLiteral(".cab")) || trimmedName.isEmpty())
        return trimmedName;
    const qsizetype dot = trimmedName.indexOf(QLatin1Char('.'));
    return (dot >= 0 ? trimmedName.left(dot) : trimmedName) + QStringLiteral(".cab");
}

} // namespace ostrivane::ui
