#include "app/schedule/DateTimeText.h"

namespace ostrivane {

QString DateTimeText(QDate date, QTime time) {
    return QStringLiteral("%1. %2. %3 %4:%5")
        .arg(date.day())
        .arg(date.month())
        .arg(date.year())
        .arg(time.hour())
        .arg(time.minute(), 2, 10, QLatin1Char('0'));
}

QString DateTimeText(const QDateTime& instant) {
    const QDateTime local = instant.toLocalTime();
    return DateTimeText(local.date(), local.time());
}

} // namespace ostrivane
