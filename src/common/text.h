// Small text helpers shared by several subsystems.
#pragma once

#include <cstddef>

namespace velm::common {

// Copies text into out, cut to size - 1 characters and always terminated
// (nothing is written when size is 0). Returns the number of characters
// copied.
std::size_t copy_cut(char* out, std::size_t size, const char* text);

// Whether c is one of the decimal digits '0' to '9', in every locale.
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal integer the way atol does (leading white space, an optional
// sign, digits up to the first other character; 0 without digits), saturated
// to the range of int instead of overflowing.
int leading_int(const char* text);

}  // namespace velm::common
