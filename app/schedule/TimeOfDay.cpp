#include "app/schedule/TimeOfDay.h"

#include "platform/profile/CaseFold.h"
#include "platform/profile/Utf8.h"
#include "platform/text/TextTrim.h"

#include <algorithm>
#include <array>
#include <utility>

namespace ostrivane {

namespace {

// Larger numbers are all equally out of range; capping keeps long digit runs from overflowing.
constexpr int kNumberCap = 100000;

enum class Marker { None, Am, Pm };

constexpr std::string_view kSeparator = ":";
constexpr std::string_view kDecimal = ".";

// Space, tab, U+00A0 and U+202F (the no-break spaces some locales put into times).
constexpr std::array<std::string_view, 4> kBlanks = {" ", "\t", "\xC2\xA0", "\xE2\x80\xAF"};

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

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
    bool TakeSeparator() { return Take(kSeparator); }
    bool TakeDecimal() { return Take(kDecimal); }

    // The marker that stands next, consumed.
    Marker TakeMarker() {
        if (Take("AM"))
            return Marker::Am;
        if (Take("PM"))
            return Marker::Pm;
        return Marker::None;
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
};

} // namespace

std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text) {
    Scanner scan(text::TrimBlanks(text));

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

bool IsValidTimeOfDay(std::string_view text) {
    return ParseTimeOfDay(text).has_value();
}

} // namespace ostrivane
