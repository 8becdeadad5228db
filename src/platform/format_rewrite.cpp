#include "platform/format_rewrite.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "common/text.h"

namespace velm::platform {

namespace {

// One conversion of a printf format, from its '%' to its conversion character.
struct Conversion {
    const char* percent = nullptr;
    const char* position = nullptr;  // the "m$" argument number, or null
    const char* lengthStart = nullptr;
    const char* lengthEnd = nullptr;
    char type = '\0';           // the conversion character; NUL at the end
    const char* end = nullptr;  // just after the conversion character
};

using common::is_digit;

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
    c.percent = percent;
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

// The conversions of format in order.
std::vector<Conversion> conversions_of(const char* format) {
    std::vector<Conversion> out;
    for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p, '%')) {
        out.push_back(read_conversion(p));
        p = out.back().end;
    }
    return out;
}

bool has_wide_modifier(const Conversion& c) {
    return std::memchr(c.lengthStart, 'w', static_cast<std::size_t>(c.lengthEnd - c.lengthStart));
}

// Whether format holds a %n, or a modifier the dialect must rewrite.
bool needs_care(const char* format, const PrintfDialect& dialect, bool& counts) {
    bool modifiers = false;
    counts = false;
    for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p, '%')) {
        Conversion c = read_conversion(p);
        counts = counts || c.type == 'n';
        modifiers = modifiers || (dialect.wideModifier && has_wide_modifier(c));
        p = c.end;
    }
    return counts || modifiers;
}

bool length_is(const Conversion& c, const char* length) {
    std::size_t n = std::strlen(length);
    return static_cast<std::size_t>(c.lengthEnd - c.lengthStart) == n && std::memcmp(c.lengthStart, length, n) == 0;
}

// Takes from args the arguments of c: its * fields, then its value. False
// for a conversion whose argument type is unknown.
bool skip_arguments(const Conversion& c, va_list* args) {
    for (const char* p = c.percent + 1; p < c.lengthStart; ++p) {
        if (*p == '*') (void)va_arg(*args, int);
    }
    if (std::strchr("diouxX", c.type) != nullptr) {
        if (length_is(c, "l"))
            (void)va_arg(*args, long);
        else if (length_is(c, "ll") || length_is(c, "q") || length_is(c, "L") || length_is(c, "I64"))
            (void)va_arg(*args, long long);
        else if (length_is(c, "j"))
            (void)va_arg(*args, std::intmax_t);
        else if (length_is(c, "z") || length_is(c, "Z") || length_is(c, "I"))
            (void)va_arg(*args, std::size_t);
        else if (length_is(c, "t"))
            (void)va_arg(*args, std::ptrdiff_t);
        else
            (void)va_arg(*args, int);
    } else if (std::strchr("eEfFgGaA", c.type) != nullptr) {
        if (length_is(c, "L"))
            (void)va_arg(*args, long double);
        else
            (void)va_arg(*args, double);
    } else if (c.type == 'c' || c.type == 'C') {
        (void)va_arg(*args, int);  // a wide character arrives promoted, as an int does
    } else if (c.type == 's' || c.type == 'S' || c.type == 'p' || c.type == 'n') {
        (void)va_arg(*args, void*);
    } else if (c.type != '%' && c.type != 'm') {
        return false;
    }
    return true;
}

// Appends text formatted with args to out at length, cut and terminated as
// vsnprintf cuts; adds its full length to total. False on a format error.
bool append_formatted(char* out, std::size_t size, std::size_t& length, int& total, const std::string& text,
                      va_list args) {
    int n = std::vsnprintf(out + length, size - length, text.c_str(), args);
    if (n < 0) return false;
    total += n;
    length = std::min(size - 1, length + static_cast<std::size_t>(n));
    return true;
}

// Formats format piece by piece, each piece up to a %n with the C library;
// the %n itself takes its arguments here and writes nothing.
int format_silencing_counts(char* out, std::size_t size, const char* format, va_list args) {
    std::size_t length = 0;
    int total = 0;
    out[0] = '\0';
    va_list next;    // the arguments after the conversions read so far
    va_list pieces;  // the arguments of the piece not yet formatted
    va_copy(next, args);
    va_copy(pieces, args);
    const char* pieceStart = format;
    bool usable = true;
    for (const Conversion& c : conversions_of(format)) {
        usable = c.position == nullptr && skip_arguments(c, &next);
        if (!usable) break;
        if (c.type != 'n') continue;
        usable = append_formatted(out, size, length, total, std::string(pieceStart, c.percent), pieces);
        if (!usable) break;
        va_end(pieces);
        va_copy(pieces, next);
        pieceStart = c.end;
    }
    if (usable) usable = append_formatted(out, size, length, total, pieceStart, pieces);
    va_end(pieces);
    va_end(next);
    return usable ? total : -1;
}

}  // namespace

std::string rewrite_modifiers(const char* format, const PrintfDialect& dialect) {
    std::string out(format);
    if (!dialect.wideModifier) return out;
    for (const Conversion& c : conversions_of(format)) {
        for (const char* p = c.lengthStart; p < c.lengthEnd; ++p) {
            if (*p == 'w') out[static_cast<std::size_t>(p - format)] = 'l';
        }
    }
    return out;
}

int format_in_dialect(char* out, std::size_t size, const char* format, va_list args, const PrintfDialect& dialect) {
    bool counts = false;
    if (!needs_care(format, dialect, counts)) return std::vsnprintf(out, size, format, args);
    try {
        std::string rewritten = rewrite_modifiers(format, dialect);
        if (!counts) return std::vsnprintf(out, size, rewritten.c_str(), args);
        return format_silencing_counts(out, size, rewritten.c_str(), args);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int print_in_dialect(std::FILE* stream, const char* format, va_list args, const PrintfDialect& dialect) {
    bool counts = false;
    if (!needs_care(format, dialect, counts)) return std::vfprintf(stream, format, args);
    try {
        if (!counts) return std::vfprintf(stream, rewrite_modifiers(format, dialect).c_str(), args);
        // Printed as formatted into memory: the pieces between the counts
        // need the same care, and a direct print has no cut of its own.
        char first;
        va_list measure;
        va_copy(measure, args);
        int length = format_in_dialect(&first, 1, format, measure, dialect);
        va_end(measure);
        if (length < 0) return -1;
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        format_in_dialect(text.data(), text.size(), format, args, dialect);
        return std::fputs(text.data(), stream) < 0 ? -1 : length;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // namespace velm::platform
