// Formatting a message from a host's printf format and arguments. A format
// of plain conversions (%d, %s and a few more, without flags or fields) is
// formatted here, as every runtime's printf formats it. The C library only
// ever gets a format this file has read and rebuilt by the grammar of the
// platform's formatter (platform::printf_dialect()): every conversion it is
// handed is one the formatter reads the same way. A '%' that does not begin
// a complete known conversion is printed as it stands, and a %n takes its
// arguments (its * fields and its pointer) and writes nothing, neither to
// memory nor to the text; the arguments after it keep their places.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace velm::log {

// Formats format with args into out, cut to size - 1 characters and always
// terminated (size > 0). Returns the length of the whole message, which is
// size - 1 or more when it was cut. A format the C library refuses (a wide
// text it cannot convert, a field beyond its range), and a %n beside
// numbered arguments ("%1$d"), give the format itself, shown literally.
std::size_t format_message(char* out, std::size_t size, const char* format, va_list args);

// Prints format with args on stream, uncut, formatted as format_message
// formats it.
void print_message(std::FILE* stream, const char* format, va_list args);

}  // namespace velm::log
