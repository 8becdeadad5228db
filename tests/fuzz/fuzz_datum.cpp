// The date with arbitrary fields, steps, moments and format strings: a step
// ends on a valid date (or, past the last valid year, leaves the date as it
// was) within the time limit, and Format stays inside its 260 bytes.
#include "fuzz_support.h"
#include "velm_datum.h"

namespace {

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool valid(const CVELM_Datum& d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.Monat() < 1 || d.Monat() > 12 || d.Jahr() < 1753 || d.Jahr() > 2399) return false;
    int last = days[d.Monat() - 1] + (d.Monat() == 2 && leap(d.Jahr()));
    return d.Tag() >= 1 && d.Tag() <= last;
}

bool same_date(const CVELM_Datum& a, const CVELM_Datum& b) {
    return a.Tag() == b.Tag() && a.Monat() == b.Monat() && a.Jahr() == b.Jahr();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int day = in.ConsumeIntegral<int>(), month = in.ConsumeIntegral<int>();
    int year = in.ConsumeIntegral<int>();
    CVELM_Datum date(day, month, year);
    FUZZ_CHECK(date.Tag() == day && date.Monat() == month);
    FUZZ_CHECK(date.Jahr() == (year < 100 ? year + 1900 : year));
    FUZZ_CHECK(date.Schaltjahr() == leap(date.Jahr()));

    for (int steps = in.ConsumeIntegralInRange(0, 40); steps > 0; --steps) {
        CVELM_Datum before = date;
        CVELM_Datum returned = date++;
        FUZZ_CHECK(same_date(returned, before));
        FUZZ_CHECK(valid(date) || same_date(date, before));
    }
    if (in.ConsumeBool()) date = in.ConsumeIntegral<std::int64_t>();

    velm_fuzz::ExactBuffer out(260);
    while (in.remaining_bytes() > 0) {
        std::string format = velm_fuzz::text(in, 300);
        velm_fuzz::ExactBuffer copy = velm_fuzz::exact_copy(format);
        date.Format(copy.data(), out.data());
        FUZZ_CHECK(std::memchr(out.data(), '\0', 260) != nullptr);
        date.Format(nullptr, out.data());
        date.Format(copy.data(), nullptr);
    }
    return 0;
}
