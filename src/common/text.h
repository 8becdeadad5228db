// Small text helpers shared by several subsystems.
#pragma once

#include <cstddef>

namespace velm::common {

// Copies text into out, cut to size - 1 characters and always terminated
// (nothing is written when size is 0). Returns the number of characters
// copied.
std::size_t copy_cut(char* out, std::size_t size, const char* text);

// c with an ASCII capital turned into its small letter; other bytes as they are.
inline unsigned char fold_ascii(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// Whether a and b are equal when ASCII letters are compared without regard to
// case (other bytes compare exactly, whatever the locale). Inline: lookups
// compare in their innermost loops.
inline bool equal_ignoring_case(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (fold_ascii(*a) != fold_ascii(*b)) return false;
        if (*a == '\0') return true;
    }
}

// As equal_ignoring_case, for the first length bytes of a against all of b.
inline bool equal_ignoring_case(const char* a, std::size_t length, const char* b) {
    for (std::size_t i = 0; i < length; ++i) {
        if (b[i] == '\0' || fold_ascii(a[i]) != fold_ascii(b[i])) return false;
    }
    return b[length] == '\0';
}

// Reads a decimal integer the way atol does (leading white space, an optional
// sign, digits up to the first other character; 0 without digits), saturated
// to the range of int instead of overflowing.
int leading_int(const char* text);

}  // namespace velm::common
