// Strict number parsing: a text is accepted only when every byte may belong
// to a number (signs anywhere, digits, and for a double the full stop); then
// the number at its start is read and the rest ignored, so "12-3" is 12 and
// "1.5.2" is 1.5. The caller's value is written only when a number was read
// and fits its type.
#include <charconv>
#include <climits>
#include <system_error>

#include "common/text.h"
#include "velm_basetool.h"

namespace velm::strings {

namespace {

using common::is_digit;

bool may_occur(char c, bool fullStopAllowed) {
    return is_digit(c) || c == '+' || c == '-' || (fullStopAllowed && c == '.');
}

// The end of text when every byte is a digit, a sign or (when allowed) a full
// stop; null at the first other byte.
const char* end_of_number_text(const char* text, bool fullStopAllowed) {
    for (; *text != '\0'; ++text)
        if (!may_occur(*text, fullStopAllowed)) return nullptr;
    return text;
}

// A leading '+' is the reader's, not the conversion's: std::from_chars knows
// only '-', and must not then take a second sign ("+-3" is no number).
const char* skip_plus(const char* first) {
    if (*first != '+') return first;
    return first[1] == '-' ? nullptr : first + 1;
}

// Whether the digits before the full stop of an unsigned decimal text are all
// zero, i.e. its value is below one.
bool below_one(const char* first, const char* last) {
    for (; first != last && *first != '.'; ++first)
        if (*first != '0') return false;
    return true;
}

// Reads by hand: an instantiation of std::from_chars for int would be
// exported from the library along with the standard library's templates.
bool read_int(const char* text, int& value) {
    const char* first = end_of_number_text(text, false) ? skip_plus(text) : nullptr;
    if (!first) return false;
    bool negative = *first == '-';
    if (negative) ++first;
    if (!is_digit(*first)) return false;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; is_digit(*first); ++first) {
        magnitude = magnitude * 10 + (*first - '0');
        if (magnitude > limit) return false;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

// Reads with std::from_chars, which takes the full stop as the decimal point
// whatever the locale and rounds correctly on every platform. A value below
// the smallest normal double reads as its nearest double, which may be a
// subnormal or zero of its sign; only a value too large for a double is
// refused, as no double is near it.
bool read_double(const char* text, double& value) {
    const char* last = end_of_number_text(text, true);
    const char* first = last ? skip_plus(text) : nullptr;
    if (!first) return false;
    bool negative = *first == '-';
    const char* digits = negative ? first + 1 : first;
    double read;
    auto result = std::from_chars(first, last, read);
    if (result.ec == std::errc::result_out_of_range && below_one(digits, result.ptr))
        read = negative ? -0.0 : 0.0;
    else if (result.ec != std::errc())
        return false;
    value = read;
    return true;
}

}  // namespace

}  // namespace velm::strings

extern "C" {

int VELM_Get_Double_Value_From_String(const char* text, double* value) {
    if (!text || !value) return -1;
    return velm::strings::read_double(text, *value) ? 0 : -1;
}

int VELM_Get_Integer_Value_From_String(const char* text, int* value) {
    if (!text || !value) return -1;
    return velm::strings::read_int(text, *value) ? 0 : -1;
}

}  // extern "C"
