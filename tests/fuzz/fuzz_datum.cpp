// The date against the C library's calendar: a moment's date steps as a day of seconds, Format agrees
// with the fields and, whatever the format, stays in 260 bytes.
#include <tuple>

#include "fuzz_support.h"
#include "velm_datum.h"

static auto date_of(const CVELM_Datum& d) { return std::make_tuple(d.Jahr(), d.Monat(), d.Tag()); }

extern "C" int LLVMFuzzerInitialize(int*, char***) { return setenv("TZ", "UTC0", 1); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::int64_t t = in.ConsumeIntegralInRange<std::int64_t>(0, 13569379199);  // to 30 December 2399
    CVELM_Datum moment{CVELM_Datum() = t}, tomorrow{CVELM_Datum() = t + 86400};
    char ymd[260];
    moment.Format("%Y%m%d", ymd);
    FUZZ_CHECK(std::atoll(ymd) == moment.Jahr() * 10000LL + moment.Monat() * 100 + moment.Tag());
    FUZZ_CHECK(date_of(++moment) == date_of(tomorrow));
    for (velm_fuzz::Buffer out(260); in.remaining_bytes() > 0;) {
        moment.Format(velm_fuzz::Buffer(velm_fuzz::text(in, 300)), out);
        FUZZ_CHECK(std::memchr(out, '\0', 260) != nullptr);
    }
    return 0;
}
