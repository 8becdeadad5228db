// The date (stepping, fields, the stored moment) and Format as the runtime's strftime.
#include <climits>
#include <clocale>
#include <ctime>

#include <gtest/gtest.h>

#include "runtime_rows.h"
#include "velm_basetool.h"
#include "velm_datum.h"

const std::int64_t kLeap = 1709211909;  // 2024-02-29 13:05:09 UTC, a Thursday
const char* const kStamp = "%Y-%m-%d %H:%M:%S";

std::string dmy(const CVELM_Datum& x) {
    char t[40];
    return std::string(t, std::snprintf(t, sizeof t, "%02d.%02d.%d", x.Tag(), x.Monat(), x.Jahr()));
}

// Format's text; no byte after the 260 is written.
std::string format(const CVELM_Datum& date, const char* conversion) {
    std::string out(300, 'G');
    date.Format(conversion, &out[0]);
    EXPECT_EQ(out.substr(260), std::string(40, 'G')) << conversion;
    return out.find('\0') < 260 ? out.c_str() : "<unterminated>";
}

void expect_as_runtime(std::int64_t moment, const char* conversion, const char* asked) {
    char expected[260] = "";
    std::time_t t = moment;
    std::strftime(expected, sizeof expected, asked, std::localtime(&t));
    EXPECT_EQ(format(CVELM_Datum() = moment, conversion), expected) << conversion;
}

struct Row {
    int d, m, y;
    const char* to;
};

TEST(DatumStep, GoesToTheFirstValidDateAfterTheFields) {
    const Row kRows[] = {
        {31, 4, 2023, "01.05.2023"},  {15, 0, 2023, "01.01.2023"},       {INT_MAX, 12, 2023, "01.01.2024"},
        {0, 3, 2023, "01.03.2023"},   {28, 2, 1900, "01.03.1900"},       {29, 1, 2024, "30.01.2024"},
        {31, 12, 1752, "01.01.1753"}, {1, 3, 1753, "02.03.1753"},        {31, 1, 1753, "01.02.1753"},
        {15, 3, 2399, "16.03.2399"},  {30, 4, 2399, "01.05.2399"},       {31, 12, 2399, "31.12.2399"},
        {1, 1, 2400, "01.01.2400"},   {1, 1, -2000000000, "01.01.1753"}, {INT_MAX, INT_MAX, 2398, "01.01.2399"}};
    for (const Row& row : kRows)
        EXPECT_EQ(dmy(++CVELM_Datum(row.d, row.m, row.y)), row.to) << "from " << row.d << "." << row.m << "." << row.y;
    CVELM_Datum date(31, 12, 2023);  // postfix: the old date; prefix: the stepped object
    const CVELM_Datum old = date++;
    EXPECT_EQ(dmy(old) + " " + (&++date == &date ? dmy(date) : "a copy"), "31.12.2023 02.01.2024");
}

TEST(DatumFields, SetzeDatumStoresUncheckedAndCountsYearsBelow100From1900) {
    const Row kRows[] = {{1, 1, 99, "01.01.1999"},
                         {1, 1, 100, "01.01.100"},
                         {1, 1, -5, "01.01.1895"},
                         {31, 4, 2023, "31.04.2023"},
                         {0, 13, INT_MIN, "00.13.-2147481748"}};
    CVELM_Datum date;
    for (const Row& row : kRows) {
        date.setzeDatum(row.d, row.m, row.y);
        EXPECT_EQ(dmy(date), row.to);
    }
    for (int y : {1600, 2000, 2024}) EXPECT_TRUE(CVELM_Datum(1, 1, y).Schaltjahr()) << y;
    for (int y : {1900, 2023, 2100}) EXPECT_FALSE(CVELM_Datum(1, 1, y).Schaltjahr()) << y;
}

TEST(DatumFormat, WritesKnownConversionsAsTheRuntimeInTheHostsLocaleAndOthersAsText) {
    const std::string fits = std::string(257, '-') + "%d", over = "-" + fits;
    const struct {
        std::int64_t moment;
        const char* conversion;
        const char* asked;
    } kRows[] = {{kLeap, "%c|%x|%X|%Z|%a %A %b %B %p %%", "%c|%x|%X|%Z|%a %A %b %B %p %%"},
                 {0, kStamp, kStamp},
                 {kLeap, "%Q|%E%d|100%|%", "%%Q|%%E%d|100%%|%%"},
                 {32535244799, kStamp, kStamp},
                 {-1, kStamp, ""},
                 {32535244800, kStamp, ""},
                 {kLeap, fits.c_str(), fits.c_str()},
                 {kLeap, over.c_str(), ""},
                 {kLeap, nullptr, ""}};
    for (const auto& row : kRows) expect_as_runtime(row.moment, row.conversion, row.asked);
    for (const auto& row : kOwnTimeFormats) expect_as_runtime(kLeap, row[0], row[1]);
    CVELM_Datum().Format(kStamp, nullptr);
    if (!std::setlocale(LC_ALL, kGermanLocale)) GTEST_SKIP() << "locale " << kGermanLocale << " is not installed";
    expect_as_runtime(kLeap, "%A %B %c %x %X", "Donnerstag Februar %c %x %X");
    std::setlocale(LC_ALL, "C");
}

TEST(DatumZone, OnlyTheClockSetAndAssignmentDeriveTheFieldsFromAConvertibleMoment) {
    const std::string zone = std::getenv("TZ") ? std::getenv("TZ") : "";
    const std::string epoch = zone == "EST5"       ? "31.12.1969 19:00"
                              : zone == "IST-5:30" ? "01.01.1970 05:30"
                                                   : "01.01.1970 00:00";
    CVELM_Datum date(31, 12, 99);  // at the moment 0
    EXPECT_EQ(dmy(++date), "01.01.2000");
    EXPECT_EQ(format(date, "%d.%m.%Y %H:%M"), epoch);
    date.set();
    EXPECT_EQ(dmy(date), epoch.substr(0, 10));
    for (std::int64_t m : {std::int64_t{-1}, std::int64_t{32535244800}, INT64_MIN, INT64_MAX})
        EXPECT_EQ(dmy(date = m), epoch.substr(0, 10));
    const std::int64_t before = std::time(nullptr), tick = CVELM_Datum::GetTickCount();
    EXPECT_TRUE(tick >= before && tick <= static_cast<std::int64_t>(std::time(nullptr)));
    EXPECT_EQ(dmy(CVELM_Datum()), dmy(date = tick));
}
