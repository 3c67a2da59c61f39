// The time-of-day rule against a recogniser of its own grammar (":" between the fields, "."
// before the milliseconds, markers "AM" and "PM", whatever the locale):
//
//   trimmed text := B [marker B] number [B ":" B number [B ":" B number [B "." B number]]]
//                   B [marker B]           (one marker at most)
//   B := any run of blanks (space, tab, U+00A0, U+202F)
//
// Trimming removes every character up to U+0020 at both ends. A number is a run of ASCII
// digits. An accepted time must lie within 0..23 h, 0..59 min, 0..59 s, 0..999 ms; with a marker
// the hour is 1..12 (12 counts as 0, PM adds 12).
#include "app/schedule/TimeOfDayQt.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

using ostrivane::ParseTimeOfDay;
using ostrivane::TimeOfDay;

namespace {

[[noreturn]] void Fail(const char* what, const QString& text) {
    std::fprintf(stderr, "fuzz check failed: %s for \"%s\"\n", what, text.toUtf8().constData());
    std::abort();
}

class Recogniser {
public:
    explicit Recogniser(const QString& raw) {
        qsizetype begin = 0;
        qsizetype end = raw.size();
        while (begin < end && raw[begin].unicode() <= 0x20)
            ++begin;
        while (end > begin && raw[end - 1].unicode() <= 0x20)
            --end;
        text_ = raw.mid(begin, end - begin);
    }

    std::optional<TimeOfDay> Parse() {
        if (text_.isEmpty())
            return std::nullopt;
        Blanks();
        int marker = Marker(); // 0 none, 1 AM, 2 PM
        Blanks();
        std::optional<long> fields[4];
        fields[0] = Number();
        if (!fields[0])
            return std::nullopt;
        // Each further field needs the one before it.
        const QChar separators[3] = {u':', u':', u'.'};
        for (int f = 1; f < 4; ++f) {
            const qsizetype mark = pos_;
            Blanks();
            if (!Next(separators[f - 1])) {
                pos_ = mark;
                break;
            }
            ++pos_;
            Blanks();
            fields[f] = Number();
            if (!fields[f])
                return std::nullopt;
        }
        Blanks();
        if (marker == 0) {
            marker = Marker();
            Blanks();
        }
        if (pos_ != text_.size())
            return std::nullopt;

        long hour = *fields[0];
        if (marker != 0) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (marker == 2 ? 12 : 0);
        }
        const long minute = fields[1].value_or(0);
        const long second = fields[2].value_or(0);
        const long msec = fields[3].value_or(0);
        if (hour > 23 || minute > 59 || second > 59 || msec > 999)
            return std::nullopt;
        return TimeOfDay{static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second),
                         static_cast<int>(msec)};
    }

private:
    bool Next(QChar c) const { return pos_ < text_.size() && text_[pos_] == c; }
    void Blanks() {
        while (pos_ < text_.size()) {
            const char16_t c = text_[pos_].unicode();
            if (c != u' ' && c != u'\t' && c != 0x00A0 && c != 0x202F)
                break;
            ++pos_;
        }
    }
    static char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; }
    int Marker() {
        if (pos_ + 1 >= text_.size() || Upper(text_[pos_ + 1].unicode()) != u'M')
            return 0;
        const char16_t first = Upper(text_[pos_].unicode());
        if (first != u'A' && first != u'P')
            return 0;
        pos_ += 2;
        return first == u'A' ? 1 : 2;
    }
    // A run of ASCII digits, its value held below a bound that is out of every range.
    std::optional<long> Number() {
        const qsizetype start = pos_;
        long value = 0;
        while (pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'9') {
            value = value * 10 + (text_[pos_].unicode() - u'0');
            if (value > 1000000)
                value = 1000000;
            ++pos_;
        }
        if (pos_ == start)
            return std::nullopt;
        return value;
    }

    QString text_;
    qsizetype pos_ = 0;
};

bool InRange(const TimeOfDay& t) {
    return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
           t.second <= 59 && t.msec >= 0 && t.msec <= 999;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256)
        return 0;
    // The first byte chooses how the rest becomes text: UTF-8 or Latin-1 (every control
    // character and U+00A0 reachable in one byte).
    if (size == 0)
        return 0;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = static_cast<qsizetype>(size - 1);
    const QString text =
        (data[0] & 1) != 0 ? QString::fromLatin1(bytes, length) : QString::fromUtf8(bytes, length);

    const std::optional<TimeOfDay> parsed = ParseTimeOfDay(text);
    const std::optional<TimeOfDay> expected = Recogniser(text).Parse();
    if (parsed.has_value() != expected.has_value())
        Fail(parsed ? "accepted a text outside the grammar" : "refused a text of the grammar",
             text);
    if (parsed && !(*parsed == *expected))
        Fail("accepted with another value", text);
    if (parsed && !InRange(*parsed))
        Fail("out-of-range time accepted", text);
    if (ostrivane::IsValidTimeOfDay(text) != parsed.has_value())
        Fail("IsValidTimeOfDay disagrees with ParseTimeOfDay", text);

    return 0;
}
