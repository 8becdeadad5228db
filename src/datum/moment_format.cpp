#include "datum/moment_format.h"

#include <cstring>
#include <new>
#include <string>

#include "common/text.h"
#include "platform/platform.h"

namespace velm::datum {

namespace {

// The moments that 64-bit local time converts on Windows; the other builds
// keep to the same range so that both agree on what converts.
const std::int64_t kFirstMoment = 0;
const std::int64_t kLastMoment = 32535244799;

bool is_one_of(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

using common::is_digit;

// Past the conversion that follows the '%' at p[-1] if the runtime knows it
// (its flags, width, modifier and conversion character); null if not.
const char* skip_known_conversion(const char* p, const platform::TimeFormatDialect& dialect) {
    if (dialect.oneFlag && is_one_of(*p, dialect.flags)) {
        ++p;
    } else {
        while (is_one_of(*p, dialect.flags)) ++p;
    }
    while (dialect.width && is_digit(*p)) ++p;
    const char* modifiers = *p == 'E' ? dialect.takesE : *p == 'O' ? dialect.takesO : nullptr;
    if (modifiers != nullptr) return is_one_of(p[1], modifiers) ? p + 2 : nullptr;
    return is_one_of(*p, dialect.conversions) ? p + 1 : nullptr;
}

// format with the '%' of every conversion the runtime does not know doubled,
// so that the runtime copies it, and what follows it, as text.
std::string escape_unknown_conversions(const char* format) {
    const platform::TimeFormatDialect& dialect = platform::time_format_dialect();
    std::string escaped;
    for (const char* p = format; *p != '\0';) {
        const char* known = *p == '%' ? skip_known_conversion(p + 1, dialect) : nullptr;
        if (known != nullptr) {
            escaped.append(p, known);
            p = known;
        } else {
            if (*p == '%') escaped += '%';
            escaped += *p++;
        }
    }
    return escaped;
}

}  // namespace

bool local_time_of(std::int64_t t, std::tm& out) {
    if (t < kFirstMoment || t > kLastMoment) return false;
    return platform::local_time(t, out);
}

void format_moment(std::int64_t t, const char* format, char* out, std::size_t size) {
    out[0] = '\0';
    std::tm local;
    if (!local_time_of(t, local)) return;
    try {
        // strftime gives 0 both for a result that does not fit and for the
        // empty one; either way the text is empty, not a partial one.
        if (std::strftime(out, size, escape_unknown_conversions(format).c_str(), &local) == 0) {
            out[0] = '\0';
        }
    } catch (const std::bad_alloc&) {
        out[0] = '\0';
    }
}

}  // namespace velm::datum
