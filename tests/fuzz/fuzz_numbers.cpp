// Both number parsers on arbitrary texts: a value is written only on
// success, success needs a text of allowed bytes only, and a successful
// parse gives what the standard conversion gives.
#include <cerrno>
#include <climits>
#include <cmath>

#include "fuzz_support.h"
#include "velm_basetool.h"

namespace {

bool only_bytes_of(const std::string& text, const char* allowed) {
    return std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= '0' && c <= '9') || (c != '\0' && std::strchr(allowed, c));
    });
}

void check_integer(const std::string& text) {
    velm_fuzz::ExactBuffer copy = velm_fuzz::exact_copy(text);
    int value = 0x5a5a5a5a;
    int result = VELM_Get_Integer_Value_From_String(copy.data(), &value);
    FUZZ_CHECK(result == 0 || result == -1);
    if (result == -1) {
        FUZZ_CHECK(value == 0x5a5a5a5a);
        return;
    }
    FUZZ_CHECK(only_bytes_of(text, "+-"));
    errno = 0;
    long long expected = std::strtoll(text.c_str(), nullptr, 10);
    FUZZ_CHECK(errno == 0 && expected >= INT_MIN && expected <= INT_MAX && value == expected);
}

void check_double(const std::string& text) {
    velm_fuzz::ExactBuffer copy = velm_fuzz::exact_copy(text);
    double value = 42.5;
    int result = VELM_Get_Double_Value_From_String(copy.data(), &value);
    FUZZ_CHECK(result == 0 || result == -1);
    if (result == -1) {
        FUZZ_CHECK(value == 42.5);
        return;
    }
    FUZZ_CHECK(only_bytes_of(text, "+-."));
    FUZZ_CHECK(std::isfinite(value) && value == std::strtod(text.c_str(), nullptr));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string text = velm_fuzz::text(in, 512);
    check_integer(text);
    check_double(text);
    return 0;
}
