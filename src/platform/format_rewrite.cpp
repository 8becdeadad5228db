#include "platform/format_rewrite.h"

#include <cstring>
#include <new>

namespace velm::platform {

namespace {

// One conversion of a printf format, from its '%' to its conversion character.
struct Conversion {
    const char* position = nullptr;  // the "m$" argument number, or null
    const char* lengthStart = nullptr;
    const char* lengthEnd = nullptr;
    char type = '\0';                // the conversion character; NUL at the end
    const char* end = nullptr;       // just after the conversion character
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Past a run of digits and the '$' after it, if p starts one; else p.
const char* skip_argument_number(const char* p) {
    const char* q = p;
    while (is_digit(*q)) ++q;
    return (q != p && *q == '$') ? q + 1 : p;
}

// Past a field (width or precision): digits, or '*' with its argument number.
const char* skip_field(const char* p) {
    if (*p == '*') return skip_argument_number(p + 1);
    while (is_digit(*p)) ++p;
    return p;
}

// Reads the conversion whose '%' is at percent. The length modifiers take in
// both dialects' letters and digits (I64, I32), so that the conversion
// character is found wherever a host's format puts it.
Conversion read_conversion(const char* percent) {
    Conversion c;
    const char* p = percent + 1;
    if (skip_argument_number(p) != p) {
        c.position = p;
        p = skip_argument_number(p);
    }
    while (*p != '\0' && std::strchr("-+ #0'", *p) != nullptr) ++p;
    p = skip_field(p);
    if (*p == '.') p = skip_field(p + 1);
    c.lengthStart = p;
    while (*p != '\0' && std::strchr("hlLqjztIw0123456789", *p) != nullptr) ++p;
    c.lengthEnd = p;
    c.type = *p;
    c.end = *p == '\0' ? p : p + 1;
    return c;
}

bool has_wide_modifier(const Conversion& c) {
    return std::memchr(c.lengthStart, 'w', static_cast<std::size_t>(c.lengthEnd - c.lengthStart));
}

bool must_rewrite(const Conversion& c, const PrintfDialect& dialect) {
    return c.type == 'n' || (dialect.wideModifier && has_wide_modifier(c));
}

// A conversion that takes one pointer-sized argument (number, the "m$"
// form, or null for the next) and prints nothing: a string of precision 0
// reads no byte through its pointer.
void append_silent(std::string& out, const char* number) {
    out += '%';
    if (number != nullptr) out.append(number, skip_argument_number(number));
    out += ".0s";
}

// %n: its * fields and its pointer are taken in their order, nothing written.
void append_silenced_count(std::string& out, const Conversion& c, const char* percent) {
    for (const char* p = percent + 1; p < c.lengthStart; ++p) {
        if (*p == '*') append_silent(out, skip_argument_number(p + 1) != p + 1 ? p + 1 : nullptr);
    }
    append_silent(out, c.position);
}

void append_rewritten(std::string& out, const Conversion& c, const char* percent) {
    if (c.type == 'n') {
        append_silenced_count(out, c, percent);
        return;
    }
    for (const char* p = percent; p < c.end; ++p) {
        bool inLength = p >= c.lengthStart && p < c.lengthEnd;
        out += (inLength && *p == 'w') ? 'l' : *p;
    }
}

}  // namespace

bool needs_rewrite(const char* format, const PrintfDialect& dialect) {
    for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p, '%')) {
        Conversion c = read_conversion(p);
        if (must_rewrite(c, dialect)) return true;
        p = c.end;
    }
    return false;
}

std::string rewrite_format(const char* format, const PrintfDialect& dialect) {
    std::string out;
    const char* p = format;
    for (const char* percent = std::strchr(p, '%'); percent != nullptr;
         percent = std::strchr(p, '%')) {
        out.append(p, percent);
        Conversion c = read_conversion(percent);
        if (must_rewrite(c, dialect)) {
            append_rewritten(out, c, percent);
        } else {
            out.append(percent, c.end);
        }
        p = c.end;
    }
    out += p;
    return out;
}

int format_in_dialect(char* out, std::size_t size, const char* format, va_list args,
                      const PrintfDialect& dialect) {
    if (!needs_rewrite(format, dialect)) return std::vsnprintf(out, size, format, args);
    try {
        return std::vsnprintf(out, size, rewrite_format(format, dialect).c_str(), args);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int print_in_dialect(std::FILE* stream, const char* format, va_list args,
                     const PrintfDialect& dialect) {
    if (!needs_rewrite(format, dialect)) return std::vfprintf(stream, format, args);
    try {
        return std::vfprintf(stream, rewrite_format(format, dialect).c_str(), args);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // namespace velm::platform
