// A date and time as the program shows it to the user: "8. 12. 2026 18:00" (day, month and hour
// without leading zeros).
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

namespace ostrivane {

QString DateTimeText(QDate date, QTime time);
// The local date and time of `instant`.
QString DateTimeText(const QDateTime& instant);

} // namespace ostrivane
