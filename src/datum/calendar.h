// The calendar rules behind CVELM_Datum: leap years, month lengths, the
// range of valid dates and the step to the next valid date.
#pragma once

namespace velm::datum {

// Day, month and year as the date class stores them: any integers.
struct Date {
    int day;
    int month;
    int year;
};

bool is_leap_year(int year);

// Moves date to the first valid date after it, in the order of a day-by-day
// walk that rolls the month over after day 31 of every month. False, with
// date unchanged, when no valid date follows (from 31 December 2399 on).
bool step_to_next_valid_date(Date& date);

}  // namespace velm::datum
