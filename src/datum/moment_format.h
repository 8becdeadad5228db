// The local time of a stored moment and its text through the C runtime's
// strftime, in the host's current locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace velm::datum {

// The local date and time of t; false when t lies outside the moments both
// builds convert (0 to 32535244799, 1970 to the year 3000) or the
// conversion fails.
bool local_time_of(std::int64_t t, std::tm& out);

// Writes t in local time through format into out, at most size bytes with
// the NUL. A conversion the runtime does not know, and a lone '%' at the
// end, are copied as they stand. The empty text when t does not convert or
// the result does not fit.
void format_moment(std::int64_t t, const char* format, char* out, std::size_t size);

}  // namespace velm::datum
