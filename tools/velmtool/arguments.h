// Reading the command line strictly, and showing texts so that blanks, tabs
// and carriage returns stay visible.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace velmtool {

// The arguments after the command's name.
using Arguments = std::vector<std::string>;

// Wrong usage; main prints the text as one line and exits with status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The whole of text as a decimal integer from min to max: an optional sign,
// then digits and nothing else. Throws UsageError naming what otherwise.
int int_argument(const std::string& text, const char* what, int min, int max);

// The one character of text. Throws UsageError naming what otherwise.
char char_argument(const std::string& text, const char* what);

// text with backslash, double quote, tab, carriage return and the other
// control bytes written as escapes.
std::string escaped(const std::string& text);

// escaped(text) in double quotes.
std::string quoted(const std::string& text);

}  // namespace velmtool
