#include "app/schedule/TimeOfDayQt.h"

namespace ostrivane {

TimeLocale TimeLocaleOf(const QLocale& locale) {
    return {TimeSeparator(locale).toStdString(), locale.decimalPoint().toStdString(),
            locale.amText().toStdString(), locale.pmText().toStdString()};
}

std::optional<TimeOfDay> ParseTimeOfDay(const QString& text, const QLocale& locale) {
    return ParseTimeOfDay(text.toStdString(), TimeLocaleOf(locale));
}

bool IsValidTimeOfDay(const QString& text, const QLocale& locale) {
    return ParseTimeOfDay(text, locale).has_value();
}

QString TimeSeparator(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    qsizetype i = 0;
    while (i < format.size() && format[i] != u'h' && format[i] != u'H')
        ++i;
    while (i < format.size() && (format[i] == u'h' || format[i] == u'H'))
        ++i;
    for (; i < format.size() && format[i] != u'm'; ++i) {
        const QChar c = format[i];
        if (!c.isLetter() && !c.isSpace() && c != u'\'' && c != u'"')
            return QString(c);
    }
    return QStringLiteral(":");
}

} // namespace ostrivane
