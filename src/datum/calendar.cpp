#include "datum/calendar.h"

namespace velm::datum {

namespace {

const int kFirstYear = 1753;
const int kLastYear = 2399;

bool is_valid_month(int month) { return month >= 1 && month <= 12; }

bool is_valid_year(int year) { return year >= kFirstYear && year <= kLastYear; }

// Days in month (1-12) of year.
int month_length(int month, int year) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (month == 2 && is_leap_year(year)) ? 29 : kDays[month - 1];
}

}  // namespace

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The walk adds one day at a time and rolls over to the next month only after
// day 31, to 1 January of the next year only from a month above 12. Taking its
// stretches whole keeps the result while every step stays constant time and
// no field is ever incremented past INT_MAX.
bool step_to_next_valid_date(Date& date) {
    // The year never decreases, so after the last valid year nothing follows.
    if (date.year > kLastYear) return false;

    // Still inside the stored month: the next day, or its 1st when the day is
    // below 1.
    if (is_valid_month(date.month) && is_valid_year(date.year) && date.day < month_length(date.month, date.year)) {
        date.day = date.day < 1 ? 1 : date.day + 1;
        return true;
    }

    // Past day 31: the next month, where a month below 1 counts up to January
    // of the same year and a month from 12 on turns the year.
    int month = 1;
    int year = date.year;
    if (date.month >= 12) {
        ++year;
    } else if (date.month >= 1) {
        month = date.month + 1;
    }
    if (year > kLastYear) return false;
    // Day 1 of a valid month is always valid; before the first valid year the
    // walk runs on to its first day.
    date = year < kFirstYear ? Date{1, 1, kFirstYear} : Date{1, month, year};
    return true;
}

}  // namespace velm::datum
