#include "log/message_format.h"

#include "platform/format_rewrite.h"

namespace velm::log {

void format_message(char* out, std::size_t size, const char* format, va_list args) {
    const platform::PrintfDialect& dialect = platform::printf_dialect();
    if (platform::format_in_dialect(out, size, format, args, dialect) < 0) out[0] = '\0';
}

void print_message(std::FILE* stream, const char* format, va_list args) {
    platform::print_in_dialect(stream, format, args, platform::printf_dialect());
}

}  // namespace velm::log
