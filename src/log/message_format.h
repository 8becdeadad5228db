// Formatting one message of the log from a host's format and arguments.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace velm::log {

// Formats format with args into out, cut to size - 1 characters and always
// terminated (size > 0). An unusable format leaves out empty.
void format_message(char* out, std::size_t size, const char* format, va_list args);

}  // namespace velm::log
