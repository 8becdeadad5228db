// Formatting one message of the log from a host's format and arguments, in
// the printf dialect the platform's hosts write. A %n takes its argument and
// writes nothing, neither to memory nor to the text.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace velm::log {

// Formats format with args into out, cut to size - 1 characters and always
// terminated (size > 0). An unusable format leaves out empty.
void format_message(char* out, std::size_t size, const char* format, va_list args);

// Prints format with args on stream, uncut, formatted as format_message
// formats it.
void print_message(std::FILE* stream, const char* format, va_list args);

}  // namespace velm::log
