// The date with arbitrary fields, steps, moments and format strings: a step
// ends on a valid date (or, past the last valid year, leaves the date as it
// was) within the time limit, and Format stays inside its 260 bytes.
#include <tuple>

#include "fuzz_support.h"
#include "velm_datum.h"

static bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

static bool valid(const CVELM_Datum& d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = d.Monat(), year = d.Jahr();
    return month >= 1 && month <= 12 && year >= 1753 && year <= 2399 && d.Tag() >= 1 &&
           d.Tag() <= days[month - 1] + (month == 2 && leap(year));
}

static auto date_of(const CVELM_Datum& d) { return std::make_tuple(d.Tag(), d.Monat(), d.Jahr()); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int day = in.ConsumeIntegral<int>(), month = in.ConsumeIntegral<int>();
    int year = in.ConsumeIntegral<int>();
    CVELM_Datum date(day, month, year);
    FUZZ_CHECK(date_of(date) == std::make_tuple(day, month, year < 100 ? year + 1900 : year));
    FUZZ_CHECK(date.Schaltjahr() == leap(date.Jahr()));
    for (int steps = in.ConsumeIntegralInRange(0, 40); steps > 0; --steps) {
        CVELM_Datum before = date, returned = date++;
        FUZZ_CHECK(date_of(returned) == date_of(before));
        FUZZ_CHECK(valid(date) || date_of(date) == date_of(before));
    }
    if (in.ConsumeBool()) date = in.ConsumeIntegral<std::int64_t>();
    velm_fuzz::Buffer out(260);
    while (in.remaining_bytes() > 0) {
        velm_fuzz::Buffer format(velm_fuzz::text(in, 300));
        date.Format(format, out);
        FUZZ_CHECK(std::memchr(out, '\0', 260) != nullptr);
        date.Format(nullptr, out);
        date.Format(format, nullptr);
    }
    return 0;
}
