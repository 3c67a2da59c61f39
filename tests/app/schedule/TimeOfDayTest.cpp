// The rule by which the schedule's time fields are read, by Qt's locale for the window and by the
// C library's for the command line.
#include "app/schedule/TimeOfDayQt.h"

#include <gtest/gtest.h>

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

void ExpectAccepted(const QLocale& locale, std::initializer_list<Accepted> cases) {
    for (const auto& [text, time] : cases) {
        const auto parsed = ParseTimeOfDay(QString::fromUtf8(text), locale);
        ASSERT_TRUE(parsed.has_value()) << '"' << text << "\" in " << locale.name().toStdString();
        EXPECT_EQ(*parsed, time) << '"' << text << '"';
        EXPECT_TRUE(IsValidTimeOfDay(QString::fromUtf8(text), locale));
    }
}

void ExpectRefused(const QLocale& locale, std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
        EXPECT_FALSE(ParseTimeOfDay(QString::fromUtf8(text), locale).has_value())
            << '"' << text << "\" in " << locale.name().toStdString();
        EXPECT_FALSE(IsValidTimeOfDay(QString::fromUtf8(text), locale));
    }
}

TEST(TimeOfDay, PlainTimesAreAccepted) {
    ExpectAccepted(QLocale::c(), {{"12:00", {12, 0, 0, 0}},
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
    ExpectRefused(QLocale::c(), {"",
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
    ExpectAccepted(QLocale::c(), {{"12:00:00.999", {12, 0, 0, 999}},
                                  {"12:00:00.0", {12, 0, 0, 0}},
                                  {"12:00:00.5", {12, 0, 0, 5}},
                                  {"23:59:59 . 001", {23, 59, 59, 1}}});
    ExpectRefused(QLocale::c(),
                  {"12:00:00.1000", "12:00:00.", "12:30.5", "12.5", "12:00:00,5", "12:00:00.5.1"});
}

TEST(TimeOfDay, MarkersAtTheFrontOrTheEnd) {
    ExpectAccepted(QLocale::c(), {{"PM 1:00", {13, 0, 0, 0}},
                                  {"pm1:00", {13, 0, 0, 0}},
                                  {"12:00 am", {0, 0, 0, 0}},
                                  {"12:00AM", {0, 0, 0, 0}},
                                  {"12 PM", {12, 0, 0, 0}},
                                  {"Am 12:30", {0, 30, 0, 0}},
                                  {"11:59:59.999 pM", {23, 59, 59, 999}},
                                  {"1 am", {1, 0, 0, 0}}});
    ExpectRefused(QLocale::c(), {"0:30 PM", "13:00 PM", "AM PM 1", "AM 1 PM", "1 AM PM", "PM",
                                 "1:00 P M", "1:00 PMX", "00 AM"});
}

TEST(TimeOfDay, SeparatorsComeFromTheLocalesTimeFormat) {
    EXPECT_EQ(TimeSeparator(QLocale::c()), ":");
    EXPECT_EQ(TimeSeparator(QLocale("cs_CZ")), ":");
    EXPECT_EQ(TimeSeparator(QLocale("en_US")), ":");
    // Qt 6.4's Finnish and Danish short formats are "H.mm" and "HH.mm".
    EXPECT_EQ(TimeSeparator(QLocale("fi_FI")), ".");
    EXPECT_EQ(TimeSeparator(QLocale("da_DK")), ".");
    // "HH 'h' mm" has only a quoted letter between hours and minutes.
    EXPECT_EQ(TimeSeparator(QLocale("fr_CA")), ":");
}

TEST(TimeOfDay, ALocaleWithAFullStopBetweenHoursAndMinutes) {
    const QLocale finnish("fi_FI");
    ASSERT_EQ(finnish.decimalPoint(), ",");
    ExpectAccepted(
        finnish,
        {{"12.30", {12, 30, 0, 0}}, {"7.5.9", {7, 5, 9, 0}}, {"23.59.59,999", {23, 59, 59, 999}}});
    ExpectRefused(finnish, {"12:30", "12.30.00.5", "12.60"});
}

TEST(TimeOfDay, CzechDecimalCommaAndMarkers) {
    const QLocale czech("cs_CZ");
    ASSERT_EQ(czech.decimalPoint(), ",");
    ASSERT_EQ(czech.amText(), "dop.");
    ASSERT_EQ(czech.pmText(), "odp.");
    ExpectAccepted(czech, {{"12:00:00,5", {12, 0, 0, 5}},
                           {"odp. 1:00", {13, 0, 0, 0}},
                           {"1:00 DOP.", {1, 0, 0, 0}},
                           {"12 Odp.", {12, 0, 0, 0}},
                           {"12:00 dop.", {0, 0, 0, 0}},
                           {"PM 2:15", {14, 15, 0, 0}}});
    ExpectRefused(czech, {"12:00:00.5", "odp. 13:00", "dop. odp. 1", "1:00 odp"});
}

TEST(TimeOfDay, FinnishMarkersEndWithAFullStopLikeTheSeparator) {
    const QLocale finnish("fi_FI");
    ASSERT_EQ(finnish.pmText(), "ip.");
    ExpectAccepted(finnish, {{"ip. 1.30", {13, 30, 0, 0}}, {"1.30 AP.", {1, 30, 0, 0}}});
}

TEST(TimeOfDay, AQtLocaleGivesItsTextsToThePlainRule) {
    const TimeLocale czech = TimeLocaleOf(QLocale("cs_CZ"));
    EXPECT_EQ(czech.Separator, ":");
    EXPECT_EQ(czech.Decimal, ",");
    EXPECT_EQ(czech.Am, "dop.");
    EXPECT_EQ(czech.Pm, "odp.");
    // Markers of other letters than ASCII are found without regard to case too.
    const TimeLocale own{".", ",", "před", "po"};
    EXPECT_EQ(ParseTimeOfDay("PŘED 12.30", own), (TimeOfDay{0, 30, 0, 0}));
    EXPECT_EQ(ParseTimeOfDay("1.05.09,5 Po", own), (TimeOfDay{13, 5, 9, 5}));
    EXPECT_FALSE(ParseTimeOfDay("12:30", own).has_value());
}

TEST(TimeOfDay, TheCommandLineReadsByTheCLibrarysLocale) {
    // Only the C locales are sure to be there: a locale the system lacks reads as the C locale.
    for (const char* name : {"C.UTF-8", "xx_XX.UTF-8"}) {
        ::setenv("LC_ALL", name, 1);
        const TimeLocale system = SystemTimeLocale();
        EXPECT_EQ(system.Separator, ":") << name;
        EXPECT_EQ(system.Decimal, ".") << name;
        EXPECT_EQ(system.Am, "AM") << name;
        EXPECT_EQ(system.Pm, "PM") << name;
        EXPECT_EQ(ParseTimeOfDay("pm 1:00:00.5", system), (TimeOfDay{13, 0, 0, 5})) << name;
    }
    ::unsetenv("LC_ALL");
}

} // namespace
} // namespace ostrivane
