// Rewriting a host's printf format so that the C library's formatter gives
// what the platform's hosts expect of it. Shared by both platform files; each
// says which dialect its hosts write.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace velm::platform {

// Whether format holds a conversion that must be rewritten: a %n, which
// would write to memory, or a modifier the C library does not know.
bool needs_rewrite(const char* format, const PrintfDialect& dialect);

// format with every such conversion rewritten. A %n becomes conversions that
// take the same arguments (its * fields and its pointer) and print nothing,
// so that the arguments after it keep their places.
std::string rewrite_format(const char* format, const PrintfDialect& dialect);

// vsnprintf (resp. vfprintf) on format as the dialect's hosts mean it; the C
// library's result, or -1 when the rewritten format cannot be built.
int format_in_dialect(char* out, std::size_t size, const char* format, va_list args,
                      const PrintfDialect& dialect);
int print_in_dialect(std::FILE* stream, const char* format, va_list args,
                     const PrintfDialect& dialect);

}  // namespace velm::platform
