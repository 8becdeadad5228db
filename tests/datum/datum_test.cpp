// The date value: stepping, the year and leap rules, and Format and set on the
// stored moment. Runs with TZ=UTC0; DatumZone runs in two more zones.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "velm_datum.h"

namespace {

const std::int64_t kLeap = 1709211909;  // 2024-02-29 13:05:09 UTC, a Thursday

std::string dmy(int d, int m, int y) {
    char text[40];
    std::snprintf(text, sizeof text, "%02d.%02d.%d", d, m, y);
    return text;
}
std::string dmy(const CVELM_Datum& x) { return dmy(x.Tag(), x.Monat(), x.Jahr()); }

// Gregorian day number of a date of a positive year; month 13 is January of the next year.
long day_number(int y, int m, int d) {
    y -= m <= 2;
    return y * 365L + y / 4 - y / 100 + y / 400 + (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
}

// Format's text, checking that no byte after the 260 is written.
std::string format(const CVELM_Datum& date, const char* conversion) {
    char out[300];
    std::memset(out, 'G', sizeof out);
    date.Format(conversion, out);
    EXPECT_EQ(std::string(out + 260, 40), std::string(40, 'G')) << conversion;
    return std::memchr(out, '\0', 260) ? out : "<unterminated>";
}

struct Row { int d, m, y; const char* to; };

}  // namespace

// Valid dates and month ends are the next test's; from 31.12.2399 on a step changes nothing.
TEST(DatumStep, GoesFromInvalidFieldsToTheFirstValidDateAfterThem) {
    const Row kRows[] = {
        {31, 4, 2023, "01.05.2023"}, {15, 0, 2023, "01.01.2023"}, {15, 13, 2023, "01.01.2024"},
        {0, 3, 2023, "01.03.2023"}, {29, 2, 2023, "01.03.2023"}, {31, 12, 1752, "01.01.1753"},
        {31, 12, 2399, "31.12.2399"}, {1, 13, 2399, "01.13.2399"}, {1, 1, 2400, "01.01.2400"},
        {INT_MAX, 12, 2023, "01.01.2024"}, {INT_MIN, 5, 2023, "01.05.2023"}, {1, INT_MAX, 2023, "01.01.2024"},
        {1, INT_MIN, 2023, "01.01.2023"}, {1, 1, -2000000000, "01.01.1753"}, {1, 1, INT_MAX, "01.01.2147483647"},
        {INT_MAX, INT_MAX, 2398, "01.01.2399"}};
    for (const Row& row : kRows) EXPECT_EQ(dmy(++CVELM_Datum(row.d, row.m, row.y)), row.to) << row.to;
}

TEST(DatumStep, EveryDateOfTheRangeStepsToTheNextCalendarDay) {
    CVELM_Datum date(1, 1, 1753);
    for (long n = day_number(1753, 1, 1); n < day_number(2399, 12, 31); ++n) {
        const std::string from = dmy(date);
        const int d = (++date).Tag(), m = date.Monat(), y = date.Jahr();
        ASSERT_TRUE(m >= 1 && m <= 12 && d >= 1 && d <= day_number(y, m + 1, 1) - day_number(y, m, 1) &&
                    day_number(y, m, d) == n + 1) << from << " -> " << dmy(date);
    }
    EXPECT_EQ(dmy(date), "31.12.2399");
}

TEST(DatumStep, PostfixReturnsTheOldDateAndPrefixTheSteppedObject) {
    CVELM_Datum date(31, 12, 2023);
    const CVELM_Datum old = date++;
    EXPECT_EQ(&++date, &date);
    EXPECT_EQ(dmy(old) + " " + dmy(date), "31.12.2023 02.01.2024");
}

TEST(DatumFields, SetzeDatumStoresUncheckedAndCountsYearsBelow100From1900) {
    const Row kRows[] = {{1, 1, 99, "01.01.1999"}, {1, 1, 100, "01.01.100"}, {1, 1, -5, "01.01.1895"},
                         {31, 4, 2023, "31.04.2023"}, {0, 13, INT_MIN, "00.13.-2147481748"}};
    CVELM_Datum date;
    for (const Row& row : kRows) EXPECT_EQ(dmy((date.setzeDatum(row.d, row.m, row.y), date)), row.to);
    for (int y : {1600, 2000, 2024}) EXPECT_TRUE(CVELM_Datum(1, 1, y).Schaltjahr()) << y;
    for (int y : {1900, 2023, 2100}) EXPECT_FALSE(CVELM_Datum(1, 1, y).Schaltjahr()) << y;
}

TEST(DatumFormat, WritesTheConversionsAsTheCLocaleDoes) {
    const std::string dashes(257, '-'), fits = dashes + "%d", fitted = dashes + "29", over = "-" + fits;
    std::string many;
    for (int i = 0; i < 11; ++i) many += "%c";  // 11 times 24 characters
    const struct { std::int64_t moment; const char* conversion; const char* text; } kRows[] = {
        {kLeap, "%a %A %b %B %h|%C %d %D %e %F", "Thu Thursday Feb February Feb|20 29 02/29/24 29 2024-02-29"},
        {kLeap, "%H %I %j %m %M %S %p|%r|%R %T", "13 01 060 02 05 09 PM|01:05:09 PM|13:05 13:05:09"},
        {kLeap, "%c|%x|%X|%u %w %U %W %V", "Thu Feb 29 13:05:09 2024|02/29/24|13:05:09|4 4 08 09 09"},
        {kLeap, "%y %Y %z %Z %%|%n%t|%Ey%Od%Ez%Q x%Ea%E", "24 2024 +0000 +0000 %|\n\t|2429+0000%Q x%Ea%E"},
        {1609632000, "%c %I%p %u %U %W %g %G %V", "Sun Jan  3 00:00:00 2021 12AM 7 01 00 20 2020 53"},
        {946728000, "%I%p %y %C %U %W %g %G %V", "12PM 00 20 00 00 99 1999 52"},
        {-1, "%F", ""}, {32535244800, "%F", ""}, {kLeap, "", ""}, {kLeap, nullptr, ""},
        {kLeap, fits.c_str(), fitted.c_str()}, {kLeap, over.c_str(), ""}, {kLeap, many.c_str(), ""}};
    CVELM_Datum date(1, 1, 2000);
    for (const auto& row : kRows)
        EXPECT_EQ(format(date = row.moment, row.conversion), row.text) << row.conversion;
    date.Format("%c", nullptr);
}

TEST(DatumFormat, OnlyTheClockSetAndAssignmentDeriveTheFieldsFromAConvertibleMoment) {
    CVELM_Datum date(5, 6, 2007);
    EXPECT_EQ(format(date, "%F %T"), "1970-01-01 00:00:00");
    for (std::int64_t moment : {std::int64_t{-1}, std::int64_t{32535244800}, INT64_MIN, INT64_MAX})
        EXPECT_EQ(dmy(date = moment), "05.06.2007");
    EXPECT_EQ(dmy(date = 1704067199), "31.12.2023");
    EXPECT_EQ(dmy(date = 1704067200), "01.01.2024");
    const std::int64_t before = std::time(nullptr), tick = CVELM_Datum::GetTickCount();
    EXPECT_TRUE(tick >= before && tick <= static_cast<std::int64_t>(std::time(nullptr)));
    EXPECT_EQ(dmy(CVELM_Datum()), dmy(date = tick));
}

TEST(DatumZone, FormatShowsTheStoredMomentUntilSetDerivesTheFields) {
    const std::string zone = std::getenv("TZ") ? std::getenv("TZ") : "";
    const std::string epoch = zone == "EST5"       ? "31.12.1969 19:00 -0500"
                              : zone == "IST-5:30" ? "01.01.1970 05:30 +0530"
                                                   : "01.01.1970 00:00 +0000";
    CVELM_Datum date;
    date = 0;
    date.setzeDatum(31, 12, 99);
    EXPECT_EQ(dmy(++date), "01.01.2000");
    EXPECT_EQ(format(date, "%d.%m.%Y %R %z"), epoch);
    date.set();
    EXPECT_EQ(dmy(date), epoch.substr(0, 10));
}
