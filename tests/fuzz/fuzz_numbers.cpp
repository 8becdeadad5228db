// Both number parsers on arbitrary texts: a value is written only on success, which needs a text of
// allowed bytes and gives what the standard conversion gives.
#include <cerrno>
#include <climits>
#include <cmath>

#include "fuzz_support.h"

template <class T, class Matches>
static void check(int (*parse)(const char*, T*), const std::string& text, const char* allowed, T unset, Matches matches) {
    T value = unset;
    int result = parse(velm_fuzz::Buffer(text), &value);
    FUZZ_CHECK(result == 0 ? text.find_first_not_of(allowed) == std::string::npos && matches(value)
                           : result == -1 && value == unset);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string text = velm_fuzz::text(in, 512);
    check(VELM_Get_Integer_Value_From_String, text, "0123456789+-", 0x5a5a5a5a, [&](int value) {
        errno = 0;
        long long expected = std::strtoll(text.c_str(), nullptr, 10);
        return errno == 0 && expected >= INT_MIN && expected <= INT_MAX && value == expected;
    });
    check(VELM_Get_Double_Value_From_String, text, "0123456789+-.", 42.5,
          [&](double value) { return std::isfinite(value) && value == std::strtod(text.c_str(), nullptr); });
    return 0;
}
