#include "app/schedule/TimeOfDay.h"

#include "platform/profile/CaseFold.h"
#include "platform/profile/Utf8.h"
#include "platform/text/TextTrim.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <utility>

namespace ostrivane {

namespace {

// Larger numbers are all equally out of range; capping keeps long digit runs from overflowing.
constexpr int kNumberCap = 100000;

enum class Marker { None, Am, Pm };

// Space, tab, U+00A0 and U+202F (the no-break spaces some locales put into times).
constexpr std::array<std::string_view, 4> kBlanks = {" ", "\t", "\xC2\xA0", "\xE2\x80\xAF"};

class Scanner {
public:
    Scanner(std::string_view text, const TimeLocale& locale)
        : text_(text), locale_(locale), markers_{{{locale.Am, Marker::Am},
                                                  {locale.Pm, Marker::Pm},
                                                  {"AM", Marker::Am},
                                                  {"PM", Marker::Pm}}} {}

    void SkipBlanks() {
        const auto blankNext = [this](std::string_view blank) { return Rest().starts_with(blank); };
        for (auto blank = kBlanks.begin(); blank != kBlanks.end();) {
            blank = std::find_if(kBlanks.begin(), kBlanks.end(), blankNext);
            if (blank != kBlanks.end())
                pos_ += blank->size();
        }
    }
    bool AtEnd() const { return pos_ == text_.size(); }

    // Consumes `token` (after blanks) when it stands next, without regard to case.
    bool Take(std::string_view token) {
        SkipBlanks();
        const std::size_t length = MatchLength(token);
        pos_ += length;
        return length > 0;
    }
    bool TakeSeparator() { return Take(locale_.Separator.empty() ? ":" : locale_.Separator); }
    bool TakeDecimal() { return Take(locale_.Decimal.empty() ? "." : locale_.Decimal); }

    // The longest marker that stands next, consumed.
    Marker TakeMarker() {
        SkipBlanks();
        Marker found = Marker::None;
        std::size_t length = 0;
        for (const auto& [token, marker] : markers_) {
            const std::size_t matched = MatchLength(token);
            if (matched > length) {
                found = marker;
                length = matched;
            }
        }
        pos_ += length;
        return found;
    }

    // A run of decimal digits (after blanks), capped at kNumberCap; nothing when none stands next.
    std::optional<int> TakeNumber() {
        SkipBlanks();
        const std::size_t start = pos_;
        int value = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            value = std::min(value * 10 + (text_[pos_] - '0'), kNumberCap);
            ++pos_;
        }
        if (pos_ == start)
            return std::nullopt;
        return value;
    }

private:
    std::string_view Rest() const { return text_.substr(pos_); }

    // The bytes of the text at the current position that spell `token` character by character
    // with case folded; 0 when they do not (or `token` is empty).
    std::size_t MatchLength(std::string_view token) const {
        if (token.empty())
            return 0;
        const std::string_view rest = Rest();
        std::size_t at = 0;
        std::size_t in = 0;
        while (in < token.size()) {
            const auto want = profile::NextCodePoint(token, in);
            const auto have = profile::NextCodePoint(rest, at);
            if (!want || !have || profile::FoldCodePoint(*want) != profile::FoldCodePoint(*have))
                return 0;
        }
        return at;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    const TimeLocale& locale_;
    std::array<std::pair<std::string_view, Marker>, 4> markers_;
};

// A locale's text that the parser can use: valid UTF-8 (a locale of another code set gives none).
std::string Utf8Text(const char* text) {
    return text != nullptr && profile::IsValidUtf8(text) ? std::string(text) : std::string();
}

// The first character after the hour in 13:45:56 as the time format `format` writes it that is
// neither a letter, a blank nor a quote.
std::string SeparatorAfterHour(const char* format, locale_t locale) {
    std::tm moment{};
    moment.tm_hour = 13;
    moment.tm_min = 45;
    moment.tm_sec = 56;
    char written[128];
    const std::size_t size = ::strftime_l(written, sizeof written, format, &moment, locale);
    const std::string_view text(written, size);
    std::size_t at = text.find_first_of("0123456789");
    at = text.find_first_not_of("0123456789", at == std::string_view::npos ? text.size() : at);
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9')
            break;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter || c == ' ' || c == '\t' || c == '\'' || c == '"')
            continue;
        std::size_t end = at;
        if (!profile::NextCodePoint(text, end))
            break;
        return std::string(text.substr(at, end - at));
    }
    return ":";
}

} // namespace

std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text, const TimeLocale& locale) {
    Scanner scan(text::TrimBlanks(text), locale);

    Marker marker = scan.TakeMarker();
    TimeOfDay time;
    // Each field after the hour follows its separator, and only when the field before it is
    // there.
    int* const fields[] = {&time.hour, &time.minute, &time.second, &time.msec};
    for (std::size_t f = 0; f < std::size(fields); ++f) {
        if (f > 0 && !(f < 3 ? scan.TakeSeparator() : scan.TakeDecimal()))
            break;
        const auto number = scan.TakeNumber();
        if (!number)
            return std::nullopt;
        *fields[f] = *number;
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

bool IsValidTimeOfDay(std::string_view text, const TimeLocale& locale) {
    return ParseTimeOfDay(text, locale).has_value();
}

TimeLocale SystemTimeLocale() {
    TimeLocale texts;
    const locale_t locale = ::newlocale(LC_TIME_MASK | LC_NUMERIC_MASK, "", locale_t{});
    if (locale == locale_t{})
        return texts;
    texts.Separator = SeparatorAfterHour(::nl_langinfo_l(T_FMT, locale), locale);
    texts.Decimal = Utf8Text(::nl_langinfo_l(RADIXCHAR, locale));
    texts.Am = Utf8Text(::nl_langinfo_l(AM_STR, locale));
    texts.Pm = Utf8Text(::nl_langinfo_l(PM_STR, locale));
    ::freelocale(locale);
    return texts;
}

} // namespace ostrivane
