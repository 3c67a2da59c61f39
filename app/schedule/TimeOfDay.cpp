#include "app/schedule/TimeOfDay.h"

#include "settings/TextTrim.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <utility>

namespace ostrivane {

namespace {

// Larger numbers are all equally out of range; capping keeps long digit runs from overflowing.
constexpr int kNumberCap = 100000;

enum class Marker { None, Am, Pm };

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == QChar(0x00A0) || c == QChar(0x202F);
}

class Scanner {
public:
    Scanner(QStringView text, const QLocale& locale)
        : text_(text), separator_(TimeSeparator(locale)),
          decimal_(locale.decimalPoint()), markers_{{{locale.amText(), Marker::Am},
                                                     {locale.pmText(), Marker::Pm},
                                                     {QStringLiteral("AM"), Marker::Am},
                                                     {QStringLiteral("PM"), Marker::Pm}}} {
        if (decimal_.isEmpty())
            decimal_ = QStringLiteral(".");
    }

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_]))
            ++pos_;
    }
    bool AtEnd() const { return pos_ == text_.size(); }

    // Consumes `token` (after blanks) when it stands next, without regard to case.
    bool Take(QStringView token) {
        SkipBlanks();
        if (token.isEmpty() || text_.size() - pos_ < token.size())
            return false;
        if (text_.mid(pos_, token.size()).compare(token, Qt::CaseInsensitive) != 0)
            return false;
        pos_ += token.size();
        return true;
    }
    bool TakeSeparator() { return Take(separator_); }
    bool TakeDecimal() { return Take(decimal_); }

    // The longest marker that stands next, consumed.
    Marker TakeMarker() {
        SkipBlanks();
        Marker found = Marker::None;
        qsizetype length = 0;
        for (const auto& [token, marker] : markers_) {
            if (token.size() <= length || text_.size() - pos_ < token.size())
                continue;
            if (text_.mid(pos_, token.size()).compare(token, Qt::CaseInsensitive) == 0) {
                found = marker;
                length = token.size();
            }
        }
        pos_ += length;
        return found;
    }

    // A run of decimal digits (after blanks), capped at kNumberCap; nothing when none stands next.
    std::optional<int> TakeNumber() {
        SkipBlanks();
        const qsizetype start = pos_;
        int value = 0;
        while (pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'9') {
            value = std::min(value * 10 + (text_[pos_].unicode() - u'0'), kNumberCap);
            ++pos_;
        }
        if (pos_ == start)
            return std::nullopt;
        return value;
    }

private:
    QStringView text_;
    qsizetype pos_ = 0;
    QString separator_;
    QString decimal_;
    std::array<std::pair<QString, Marker>, 4> markers_;
};

} // namespace

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

std::optional<TimeOfDay> ParseTimeOfDay(const QString& text, const QLocale& locale) {
    const QString trimmed = TrimBlanks(text);
    Scanner scan(trimmed, locale);

    Marker marker = scan.TakeMarker();
    TimeOfDay time;
    const auto hour = scan.TakeNumber();
    if (!hour)
        return std::nullopt;
    time.hour = *hour;
    if (scan.TakeSeparator()) {
        const auto minute = scan.TakeNumber();
        if (!minute)
            return std::nullopt;
        time.minute = *minute;
        if (scan.TakeSeparator()) {
            const auto second = scan.TakeNumber();
            if (!second)
                return std::nullopt;
            time.second = *second;
            if (scan.TakeDecimal()) {
                const auto msec = scan.TakeNumber();
                if (!msec)
                    return std::nullopt;
                time.msec = *msec;
            }
        }
    }
    if (marker == Marker::None)
        marker = scan.TakeMarker();
    scan.SkipBlanks();
    if (!scan.AtEnd())
        return std::nullopt;

    if (marker != Marker::None) {
        if (time.hour < 1 || time.hour > 12)
            return std::nullopt;
        time.hour %= 12;
        if (marker == Marker::Pm)
            time.hour += 12;
    }
    if (time.hour > 23 || time.minute > 59 || time.second > 59 || time.msec > 999)
        return std::nullopt;
    return time;
}

bool IsValidTimeOfDay(const QString& text, const QLocale& locale) {
    return ParseTimeOfDay(text, locale).has_value();
}

} // namespace ostrivane
