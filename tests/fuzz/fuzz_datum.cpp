// The date against the C library's calendar: a step moves forward to a date the calendar keeps (past
// 2399 it stays), a moment steps as a day of seconds, Format agrees and stays in 260 bytes.
#include <ctime>
#include <tuple>

#include "fuzz_support.h"
#include "velm_datum.h"

static auto date_of(const CVELM_Datum& d) { return std::make_tuple(d.Jahr(), d.Monat(), d.Tag()); }

static bool calendar_keeps(const CVELM_Datum& d) {
    std::tm t{0, 0, 12, d.Tag(), d.Monat() - 1, d.Jahr() - 1900, 0, 0, 0, 0, nullptr};
    timegm(&t);  // normalises an invalid date into a valid one
    return d.Jahr() >= 1753 && d.Jahr() <= 2399 && std::make_tuple(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) == date_of(d);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) { return setenv("TZ", "UTC0", 1); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    CVELM_Datum date(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>());
    for (int steps = in.ConsumeIntegralInRange(0, 40); steps > 0; --steps) {
        CVELM_Datum before = date++;
        FUZZ_CHECK(date_of(date) == date_of(before) ? before.Jahr() >= 2399
                                                    : date_of(date) > date_of(before) && calendar_keeps(date));
    }
    const std::int64_t t = in.ConsumeIntegralInRange<std::int64_t>(0, 13569379199);  // to 30 December 2399
    CVELM_Datum moment{CVELM_Datum() = t}, tomorrow{CVELM_Datum() = t + 86400};
    char ymd[260];
    moment.Format("%Y%m%d", ymd);
    FUZZ_CHECK(std::atoll(ymd) == moment.Jahr() * 10000LL + moment.Monat() * 100 + moment.Tag());
    FUZZ_CHECK(date_of(++moment) == date_of(tomorrow));
    for (velm_fuzz::Buffer out(260); in.remaining_bytes() > 0;) {
        date.Format(velm_fuzz::Buffer(velm_fuzz::text(in, 300)), out);
        FUZZ_CHECK(std::memchr(out, '\0', 260) != nullptr);
    }
    return 0;
}
