// The one rule by which the schedule's times are read, in the window's fields and in the settings
// file, whatever the locale of Qt or of the C library.
#include "app/schedule/TimeOfDayQt.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace ostrivane {

// Found by GoogleTest through argument-dependent lookup.
void PrintTo(const TimeOfDay& t, std::ostream* os) {
    *os << t.hour << ":" << t.minute << ":" << t.second << "." << t.msec;
}

namespace {

struct Accepted {
    const char* text;
    TimeOfDay time;
};

void ExpectAccepted(std::initializer_list<Accepted> cases) {
    for (const auto& [text, time] : cases) {
        const auto parsed = ParseTimeOfDay(QString::fromUtf8(text));
        ASSERT_TRUE(parsed.has_value()) << '"' << text << '"';
        EXPECT_EQ(*parsed, time) << '"' << text << '"';
        EXPECT_TRUE(IsValidTimeOfDay(QString::fromUtf8(text)));
        EXPECT_EQ(ParseTimeOfDay(std::string_view(text)), time) << '"' << text << '"';
    }
}

void ExpectRefused(std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
        EXPECT_FALSE(ParseTimeOfDay(QString::fromUtf8(text)).has_value()) << '"' << text << '"';
        EXPECT_FALSE(IsValidTimeOfDay(QString::fromUtf8(text)));
        EXPECT_FALSE(IsValidTimeOfDay(std::string_view(text)));
    }
}

TEST(TimeOfDay, PlainTimesAreAccepted) {
    ExpectAccepted({{"12:00", {12, 0, 0, 0}},
                    {"7:05", {7, 5, 0, 0}},
                    {"7:5", {7, 5, 0, 0}},
                    {"23:59:59", {23, 59, 59, 0}},
                    {"8", {8, 0, 0, 0}},
                    {"0:00", {0, 0, 0, 0}},
                    {" 12:00 ", {12, 0, 0, 0}},
                    {"\t12:00\r\n", {12, 0, 0, 0}},
                    {"12 : 30 : 15", {12, 30, 15, 0}},
                    {"0000012:0000030", {12, 30, 0, 0}}});
}

TEST(TimeOfDay, MalformedAndImpossibleTimesAreRefused) {
    ExpectRefused({"",
                   "   ",
                   "\t\n",
                   "24:00",
                   "12:60",
                   "23:59:60",
                   "12:00 h",
                   "12:",
                   ":30",
                   "12::00",
                   "1 2:00",
                   "12:3 0",
                   "12:00:00:00",
                   "-1:00",
                   "+1",
                   "1e2",
                   "12.00",
                   "x12:00",
                   "12:00x",
                   "99999999999999999999999",
                   "12:99999999999999999999",
                   "１２:００",
                   "12\x01:00"});
}

TEST(TimeOfDay, MillisecondsFollowTheSeconds) {
    ExpectAccepted({{"12:00:00.999", {12, 0, 0, 999}},
                    {"12:00:00.0", {12, 0, 0, 0}},
                    {"12:00:00.5", {12, 0, 0, 5}},
                    {"23:59:59 . 001", {23, 59, 59, 1}}});
    ExpectRefused({"12:00:00.1000", "12:00:00.", "12:30.5", "12.5", "12:00:00,5", "12:00:00.5.1"});
}

TEST(TimeOfDay, MarkersAtTheFrontOrTheEnd) {
    ExpectAccepted({{"PM 1:00", {13, 0, 0, 0}},
                    {"pm1:00", {13, 0, 0, 0}},
                    {"12:00 am", {0, 0, 0, 0}},
                    {"12:00AM", {0, 0, 0, 0}},
                    {"12 PM", {12, 0, 0, 0}},
                    {"Am 12:30", {0, 30, 0, 0}},
                    {"11:59:59.999 pM", {23, 59, 59, 999}},
                    {"1 am", {1, 0, 0, 0}}});
    ExpectRefused({"0:30 PM", "13:00 PM", "AM PM 1", "AM 1 PM", "1 AM PM", "PM", "1:00 P M",
                   "1:00 PMX", "00 AM"});
}

TEST(TimeOfDay, EveryLocaleReadsTheSameTimes) {
    // A time saved under one locale reads the same under every other: neither Qt's locale (whose
    // Finnish short format is "H.mm") nor the C library's (whose Finnish time separator is ".")
    // takes part.
    const QLocale before;
    for (const char* name : {"fi_FI", "cs_CZ", "da_DK"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        ::setenv("LC_ALL", (std::string(name) + ".UTF-8").c_str(), 1);
        std::setlocale(LC_ALL, "");
        ExpectAccepted({{"13:40:55", {13, 40, 55, 0}},
                        {"13:40", {13, 40, 0, 0}},
                        {"PM 1:40", {13, 40, 0, 0}},
                        {"23:59:59.999", {23, 59, 59, 999}}});
        ExpectRefused({"13.40", "12:00:00,5", "odp. 1:00", "ip. 1.30"});
    }
    ::unsetenv("LC_ALL");
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(before);
}

} // namespace
} // namespace ostrivane
