// Small text helpers shared by several subsystems.
#pragma once

#include <cstddef>

namespace velm::common {

// Copies text into out, cut to size - 1 characters and always terminated
// (nothing is written when size is 0). Returns the number of characters
// copied.
std::size_t copy_cut(char* out, std::size_t size, const char* text);

// Whether a and b are equal when ASCII letters are compared without regard to
// case (other bytes compare exactly, whatever the locale).
bool equal_ignoring_case(const char* a, const char* b);

// As equal_ignoring_case, for the first length bytes of a against all of b.
bool equal_ignoring_case(const char* a, std::size_t length, const char* b);

// Reads a decimal integer the way atol does (leading white space, an optional
// sign, digits up to the first other character; 0 without digits), saturated
// to the range of int instead of overflowing.
int leading_int(const char* text);

}  // namespace velm::common
