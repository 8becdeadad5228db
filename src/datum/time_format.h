// Local broken-down time of a stored moment, and strftime's C99 conversions
// written by the library itself, so that both builds give the same bytes and
// no conversion can reach a runtime that aborts on ones it does not know.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace velm::datum {

// A moment in local time with its distance from UTC.
struct LocalMoment {
    std::tm time;        // local broken-down time
    int offsetMinutes;   // local time minus UTC, in minutes
};

// The local date and time of t; false when t is outside the moments every
// build converts (1970-01-01 00:00:00 to 3001-01-01 07:59:59 UTC) or the
// conversion fails.
bool local_time_of(std::int64_t t, std::tm& out);

// As local_time_of, together with the offset from UTC.
bool local_moment_of(std::int64_t t, LocalMoment& out);

// Writes moment through format into out, at most size bytes with the NUL;
// the empty text when the result does not fit. The conversions are those of
// C99 in the "C" locale, written as glibc writes them, with two exceptions
// made for portability: %z and %Z both give the numeric offset "+hhmm" (no
// zone name is the same on every system). An unknown conversion, or a
// modifier E or O before a conversion that does not take it, is copied as it
// stands; a lone "%" at the end is written as "%".
void format_moment(const LocalMoment& moment, const char* format, char* out, std::size_t size);

}  // namespace velm::datum
