#include "common/text.h"

#include <climits>
#include <cstring>

namespace velm::common {

namespace {

// The white space atol skips in the "C" locale.
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::size_t copy_cut(char* out, std::size_t size, const char* text) {
    if (size == 0) return 0;
    std::size_t length = 0;
    while (length + 1 < size && text[length] != '\0') {
        out[length] = text[length];
        ++length;
    }
    out[length] = '\0';
    return length;
}

int leading_int(const char* text) {
    while (is_space(*text)) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    // Accumulate towards the sign's side so that INT_MIN itself is reachable.
    long long value = 0;
    for (; is_digit(*text); ++text) {
        int digit = *text - '0';
        value = negative ? value * 10 - digit : value * 10 + digit;
        if (value > INT_MAX) return INT_MAX;
        if (value < INT_MIN) return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace velm::common
