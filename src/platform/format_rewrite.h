// Formatting a host's printf format with the C library's formatter so that it
// gives what the platform's hosts expect of it. Shared by both platform files;
// each says which dialect its hosts write.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace velm::platform {

// format with every modifier the C library does not know replaced by its
// equivalent ('w' by 'l' where the dialect has it).
std::string rewrite_modifiers(const char* format, const PrintfDialect& dialect);

// vsnprintf on format as the dialect's hosts mean it, where a %n takes its
// arguments (its * fields and its pointer) and writes nothing, neither to
// memory nor to out: the C library's result, or -1 for a format it cannot
// take so (a %n beside numbered arguments, "%1$d", or beside a conversion
// whose argument type is unknown) and when memory runs out.
int format_in_dialect(char* out, std::size_t size, const char* format, va_list args, const PrintfDialect& dialect);

// The same on stream, uncut.
int print_in_dialect(std::FILE* stream, const char* format, va_list args, const PrintfDialect& dialect);

}  // namespace velm::platform
