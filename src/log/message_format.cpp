#include "log/message_format.h"

#include <cstdio>

namespace velm::log {

void format_message(char* out, std::size_t size, const char* format, va_list args) {
    if (std::vsnprintf(out, size, format, args) < 0) out[0] = '\0';
}

}  // namespace velm::log
