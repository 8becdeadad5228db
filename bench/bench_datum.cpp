// Stepping a date: day by day through a year, and the one step that lands a
// date from long before 1753 on the first valid day.
#include "bench_support.h"
#include "velm_datum.h"

namespace velm_bench {

namespace {

constexpr int kYear = 2023;
constexpr int kDaysInYear = 365;
constexpr int kFarYear = 100;  // the earliest year a date keeps as given
constexpr int kFirstValidYear = 1753;

struct Day {
    int day;
    int month;
    int year;
};

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The next calendar day with nothing but a table and two comparisons: the
// least work a step can do.
inline void next_day(Day& d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < kFirstValidYear) {
        d = {1, 1, kFirstValidYear};
        return;
    }
    int last = days[d.month - 1] + (d.month == 2 && is_leap(d.year) ? 1 : 0);
    if (++d.day > last) {
        d.day = 1;
        if (++d.month > 12) {
            d.month = 1;
            ++d.year;
        }
    }
}

void year_library(benchmark::State& state) {
    CVELM_Datum date(1, 1, kYear);
    for (auto _ : state) {
        date.setzeDatum(1, 1, kYear);
        for (int i = 0; i < kDaysInYear; ++i) ++date;
        benchmark::DoNotOptimize(date);
    }
    if (date.Tag() != 1 || date.Monat() != 1 || date.Jahr() != kYear + 1)
        state.SkipWithError("a year of steps did not end on the first of January");
    set_operations(state, kDaysInYear);
}

void year_limit(benchmark::State& state) {
    Day date{1, 1, kYear};
    for (auto _ : state) {
        date = {1, 1, kYear};
        benchmark::DoNotOptimize(date);
        for (int i = 0; i < kDaysInYear; ++i) next_day(date);
        benchmark::DoNotOptimize(date);
    }
    set_operations(state, kDaysInYear);
}

void far_library(benchmark::State& state) {
    CVELM_Datum date(1, 1, kFarYear);
    for (auto _ : state) {
        date.setzeDatum(1, 1, kFarYear);
        ++date;
        benchmark::DoNotOptimize(date);
    }
    if (date.Tag() != 1 || date.Monat() != 1 || date.Jahr() != kFirstValidYear)
        state.SkipWithError("the step did not land on 1 January 1753");
}

void far_limit(benchmark::State& state) {
    Day date{1, 1, kFarYear};
    for (auto _ : state) {
        date = {1, 1, kFarYear};
        benchmark::DoNotOptimize(date);
        next_day(date);
        benchmark::DoNotOptimize(date);
    }
}

}  // namespace

void register_datum_benchmarks() {
    add("6.step_year", "library", year_library);
    add("6.step_year", "limit", year_limit);
    add("6.step_from_year_100", "library", far_library);
    add("6.step_from_year_100", "limit", far_limit);
}

}  // namespace velm_bench
