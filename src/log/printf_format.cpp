#include "log/printf_format.h"
#include "common/hot_path.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"

namespace velm::log {

namespace {

using platform::PrintfDialect;
using platform::PrintfLength;

constexpr char kFloating[] = "eEfFgGaA";

using common::is_digit;

bool is_one_of(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// One conversion as the dialect reads it, from its '%'.
struct Conversion {
    const char* percent = nullptr;
    const char* end = nullptr;             // past the conversion character; null: no known conversion
    const PrintfLength* length = nullptr;  // its length modifier; null: none
    const char* lengthAt = nullptr;        // where the modifier stands
    char type = '\0';                      // the conversion character
    bool numbered = false;                 // it, or one of its fields, names an argument by number
    int number = 0;                        // its value's argument number "m$"; 0: none
    int starFields = 0;                    // the '*' fields that take an int before its value
    int fieldNumbers[2] = {0, 0};          // their argument numbers; 0: none
};

// Past the argument number "m$" at p (m from 1 to INT_MAX), which goes to
// number; null if p holds none.
const char* past_argument_number(const char* p, int& number) {
    long long value = 0;
    const char* q = p;
    while (is_digit(*q) && value <= INT_MAX) value = value * 10 + (*q++ - '0');
    if (q == p || *q != '$' || value < 1 || value > INT_MAX) return nullptr;
    number = static_cast<int>(value);
    return q + 1;
}

// Past the width or precision at p: digits, or '*' and its argument number.
// A '*' followed by digits without '$' ends there, as the formatter reads it.
const char* past_field(const char* p, Conversion& c) {
    if (*p != '*') {
        while (is_digit(*p)) ++p;
        return p;
    }
    const char* numbered = past_argument_number(p + 1, c.fieldNumbers[c.starFields]);
    ++c.starFields;
    c.numbered = c.numbered || numbered != nullptr;
    return numbered ? numbered : p + 1;
}

// What each byte may be in a conversion of the dialect, so that reading one
// looks each character up once instead of searching the dialect's lists.
// A byte is a whole conversion by itself (kOneByte) when it is "%" or a
// known conversion character that begins no argument number, flag, field or
// length modifier: "%d" then needs no further reading.
enum : unsigned char { kFlag = 1, kKnownConversion = 2, kLengthStart = 4, kOneByte = 8 };
struct ByteClasses {
    unsigned char of[256] = {};
    bool is(char c, unsigned char what) const { return (of[static_cast<unsigned char>(c)] & what) != 0; }
};

void mark(ByteClasses& classes, const char* bytes, unsigned char what) {
    for (const char* p = bytes; *p != '\0'; ++p) classes.of[static_cast<unsigned char>(*p)] |= what;
}

// The byte classes of the process's one dialect, made at first use.
VELM_HOT_PATH const ByteClasses& byte_classes(const PrintfDialect& dialect) {
    static const ByteClasses classes = [&dialect] {
        ByteClasses made;
        mark(made, dialect.flags, kFlag);
        mark(made, dialect.conversions, kKnownConversion);
        mark(made, dialect.noArgument, kKnownConversion);
        for (int i = 0; i < dialect.lengthCount; ++i)
            made.of[static_cast<unsigned char>(dialect.lengths[i].text[0])] |= kLengthStart;
        for (unsigned char& of : made.of) {
            if (of == kKnownConversion) of |= kOneByte;
        }
        for (const char* p = "0123456789*.$"; *p != '\0'; ++p) made.of[static_cast<unsigned char>(*p)] &= ~kOneByte;
        made.of[static_cast<unsigned char>('%')] |= kOneByte;
        return made;
    }();
    return classes;
}

// The length modifier of the dialect at p; null if none begins there.
const PrintfLength* length_at(const char* p, const PrintfDialect& dialect) {
    for (int i = 0; i < dialect.lengthCount; ++i) {
        const char* text = dialect.lengths[i].text;
        if (*p == text[0] && std::strncmp(p, text, std::strlen(text)) == 0) return &dialect.lengths[i];
    }
    return nullptr;
}

// Reads the conversion whose '%' is at percent: "%%", or an argument number,
// flags, a width, a precision, one length modifier and a conversion
// character, each as the dialect has them.
Conversion read_conversion(const char* percent, const PrintfDialect& dialect) {
    Conversion c;
    c.percent = percent;
    const char* p = percent + 1;
    if (*p == '%') {
        c.type = '%';
        c.end = p + 1;
        return c;
    }
    if (const char* q = past_argument_number(p, c.number)) {
        c.numbered = true;
        p = q;
    }
    const ByteClasses& classes = byte_classes(dialect);
    while (classes.is(*p, kFlag)) ++p;
    p = past_field(p, c);
    if (*p == '.') p = past_field(p + 1, c);
    c.length = classes.is(*p, kLengthStart) ? length_at(p, dialect) : nullptr;
    if (c.length) {
        c.lengthAt = p;
        p += std::strlen(c.length->text);
    }
    c.type = *p;
    bool known = classes.is(c.type, kKnownConversion);
    if (known && c.length && c.length->conversions) known = is_one_of(c.type, c.length->conversions);
    known = known && (dialect.numbered || !c.numbered);
    c.end = known ? p + 1 : nullptr;
    return c;
}

// What a format needs before the formatter may have it.
struct Findings {
    bool rewrite = false;   // a '%' to print as it stands, or a modifier in the hosts' spelling
    bool counts = false;    // a %n
    bool numbered = false;  // an argument number
};

// One pass over format, from '%' to '%'. A conversion of one character (as
// nearly all are) is known from its byte class alone.
VELM_HOT_PATH Findings examine(const char* format, const PrintfDialect& dialect) {
    Findings found;
    const ByteClasses& classes = byte_classes(dialect);
    for (const char* p = std::strchr(format, '%'); p != nullptr;) {
        if (classes.is(p[1], kOneByte)) {
            found.counts = found.counts || p[1] == 'n';
            p = std::strchr(p + 2, '%');
            continue;
        }
        Conversion c = read_conversion(p, dialect);
        if (!c.end) {
            found.rewrite = true;
            p = std::strchr(p + 1, '%');
            continue;
        }
        found.counts = found.counts || c.type == 'n';
        found.numbered = found.numbered || c.numbered;
        found.rewrite = found.rewrite || (c.length && c.length->formatterText);
        p = std::strchr(c.end, '%');
    }
    return found;
}

// The kinds of argument a conversion takes, as the formatter reads and keeps
// them apart: an argument named by number is kept in the size of its last
// reading, so every reading of it must be of one kind.
enum class Kind : unsigned char { none, integer, wideInteger, pointer, floating, longFloating };

constexpr char kPointers[] = "sSpn";

// The kind of c's value.
Kind kind_of(const Conversion& c, const PrintfDialect& dialect) {
    if (c.type == '%' || is_one_of(c.type, dialect.noArgument)) return Kind::none;
    if (is_one_of(c.type, kFloating)) return c.length && c.length->longDouble ? Kind::longFloating : Kind::floating;
    if (is_one_of(c.type, kPointers)) return Kind::pointer;
    if (c.type == 'c' || c.type == 'C') return Kind::integer;  // a wide character arrives promoted, as an int does
    return c.length && c.length->wideInteger ? Kind::wideInteger : Kind::integer;
}

// The highest argument number a format may use: no host passes more, and the
// check below keeps one entry per number.
constexpr int kMaxArgumentNumber = 128;

// Records that argument number is read as kind; false when another
// conversion reads it as another kind, or the number is missing or too high.
bool claim(Kind* kinds, int number, Kind kind) {
    if (kind == Kind::none) return true;
    if (number < 1 || number > kMaxArgumentNumber) return false;
    if (kinds[number] != Kind::none && kinds[number] != kind) return false;
    kinds[number] = kind;
    return true;
}

// Whether a format with argument numbers names every argument by number and
// reads each as one kind of value. The formatter would otherwise read one
// kind as another (a double's bits as a text's address) or mix the two
// countings; the C standard leaves both undefined.
bool numbers_agree(const char* format, const PrintfDialect& dialect) {
    Kind kinds[kMaxArgumentNumber + 1] = {};
    for (const char* p = std::strchr(format, '%'); p != nullptr;) {
        Conversion c = read_conversion(p, dialect);
        if (!c.end) {
            p = std::strchr(p + 1, '%');
            continue;
        }
        for (int i = 0; i < c.starFields; ++i) {
            if (!claim(kinds, c.fieldNumbers[i], Kind::integer)) return false;
        }
        if (!claim(kinds, c.number, kind_of(c, dialect))) return false;
        p = std::strchr(c.end, '%');
    }
    return true;
}

// Takes the arguments of c from args: its '*' fields, then its value.
void skip_arguments(const Conversion& c, va_list* args, const PrintfDialect& dialect) {
    for (int i = 0; i < c.starFields; ++i) (void)va_arg(*args, int);
    Kind kind = kind_of(c, dialect);
    if (kind == Kind::integer) (void)va_arg(*args, int);
    if (kind == Kind::wideInteger) (void)va_arg(*args, long long);
    if (kind == Kind::pointer) (void)va_arg(*args, void*);
    if (kind == Kind::floating) (void)va_arg(*args, double);
    if (kind == Kind::longFloating) (void)va_arg(*args, long double);
}

// Appends c as the formatter is to read it: a length modifier in the hosts'
// spelling becomes the formatter's.
void append_conversion(std::string& out, const Conversion& c) {
    if (!c.length || !c.length->formatterText) {
        out.append(c.percent, c.end);
        return;
    }
    out.append(c.percent, c.lengthAt);
    out += c.length->formatterText;
    out.append(c.lengthAt + std::strlen(c.length->text), c.end);
}

// A caller's buffer filled piece by piece, cut as vsnprintf cuts.
struct Filling {
    char* out;
    std::size_t size;
    std::size_t length = 0;  // characters in out
    long long total = 0;     // characters of the whole text
};

// Appends piece formatted with args; false when the C library refuses it.
bool append_formatted(Filling& filling, const std::string& piece, va_list args) {
    int n = std::vsnprintf(filling.out + filling.length, filling.size - filling.length, piece.c_str(), args);
    if (n < 0) return false;
    filling.total += n;
    filling.length = std::min(filling.size - 1, filling.length + static_cast<std::size_t>(n));
    return true;
}

// Formats format rebuilt: a '%' that begins no known conversion doubled, so
// that it is printed; each modifier in the formatter's spelling. With counts,
// every %n ends a piece that is formatted on its own, and its arguments are
// taken here. False when the C library refuses a piece.
bool format_rebuilt(Filling& filling, const char* format, va_list args, bool counts, const PrintfDialect& dialect) {
    std::string piece;
    va_list next;    // the arguments after the conversions read so far
    va_list pieces;  // the arguments of the piece not yet formatted
    va_copy(next, args);
    va_copy(pieces, args);
    bool usable = true;
    const char* p = format;
    for (const char* percent = std::strchr(p, '%'); usable && percent != nullptr; percent = std::strchr(p, '%')) {
        piece.append(p, percent);
        Conversion c = read_conversion(percent, dialect);
        if (!c.end) {
            piece += "%%";
            p = percent + 1;
            continue;
        }
        p = c.end;
        if (counts) skip_arguments(c, &next, dialect);
        if (c.type != 'n') {
            append_conversion(piece, c);
            continue;
        }
        usable = append_formatted(filling, piece, pieces);
        piece.clear();
        va_end(pieces);
        va_copy(pieces, next);
    }
    if (usable) {
        piece += p;
        usable = append_formatted(filling, piece, pieces);
    }
    va_end(pieces);
    va_end(next);
    return usable;
}

// Where a message of plain conversions goes: out, up to the byte kept for
// its terminator.
struct PlainText {
    char* at;
    char* last;

    // Appends length characters of text; false when they do not fit.
    bool put(const char* text, std::size_t length) {
        if (length > static_cast<std::size_t>(last - at)) return false;
        std::memcpy(at, text, length);
        at += length;
        return true;
    }
};

// Appends value's digits in base (10 or 16), written with symbols.
bool put_number(PlainText& text, unsigned long long value, unsigned base, const char* symbols, bool negative) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* first = end;
    do {
        *--first = symbols[value % base];
        value /= base;
    } while (value != 0);
    if (negative) *--first = '-';
    return text.put(first, static_cast<std::size_t>(end - first));
}

// Appends the conversion of type (with an 'l' before it when wide) and takes
// its argument; false for any other conversion, a null text, or too little
// room. Every runtime's printf writes these alike.
bool put_plain_conversion(PlainText& text, char type, bool wide, va_list* args) {
    static constexpr char kLower[] = "0123456789abcdef", kUpper[] = "0123456789ABCDEF";
    if (type == 'd' || type == 'i') {
        long long value = wide ? va_arg(*args, long) : va_arg(*args, int);
        unsigned long long magnitude = static_cast<unsigned long long>(value);
        return put_number(text, value < 0 ? 0 - magnitude : magnitude, 10, kLower, value < 0);
    }
    if (type == 'u' || type == 'x' || type == 'X') {
        unsigned long long value = wide ? va_arg(*args, unsigned long) : va_arg(*args, unsigned);
        return put_number(text, value, type == 'u' ? 10 : 16, type == 'X' ? kUpper : kLower, false);
    }
    if (wide) return false;
    if (type == 'c') {
        char c = static_cast<char>(va_arg(*args, int));
        return text.put(&c, 1);
    }
    if (type == 's') {
        const char* value = va_arg(*args, const char*);
        return value && text.put(value, std::strlen(value));
    }
    return type == '%' && text.put("%", 1);
}

// Formats a message whose conversions are all plain (%d, %i, %u, %x, %X, %c,
// %s, an 'l' before an integer one, and %%) without the C library, which
// spends most of a short line's time on parsing what it is handed. Returns
// its length, or -1 when the format holds anything else, a text is null or
// the message does not fit: the C library's path then formats it from the
// start, args untouched. Reading the format this way is also its check: a
// plain format has nothing to rewrite, so unread is left where the check
// still has to begin.
VELM_HOT_PATH long long format_plainly(char* out, std::size_t size, const char* format, va_list args,
                                       const char*& unread) {
    va_list own;
    va_copy(own, args);
    PlainText text{out, out + size - 1};
    const char* p = format;
    while (*p != '\0') {
        const char* percent = p;
        while (*percent != '\0' && *percent != '%') ++percent;
        if (!text.put(p, static_cast<std::size_t>(percent - p))) break;
        if (*percent == '\0') {
            p = percent;
            break;
        }
        bool wide = percent[1] == 'l';
        const char* type = percent + 1 + wide;
        if (!put_plain_conversion(text, *type, wide, &own)) break;
        p = type + 1;
    }
    va_end(own);
    unread = p;
    if (*p != '\0') return -1;
    *text.at = '\0';
    return text.at - out;
}

// vsnprintf on format as the dialect's hosts mean it: the whole length, or -1
// when the C library refuses the format (or a piece of it), for a %n beside
// numbered arguments, whose arguments cannot be told apart, for numbers that
// do not agree, and when memory runs out. Costs one pass over a format with
// nothing to rewrite and no numbers, and none of the C library's for one of
// plain conversions.
VELM_HOT_PATH long long format_in_dialect(char* out, std::size_t size, const char* format, va_list args) {
    const char* unread = format;
    long long plainLength = format_plainly(out, size, format, args, unread);
    if (plainLength >= 0) return plainLength;
    const PrintfDialect& dialect = platform::printf_dialect();
    Findings found = examine(unread, dialect);
    if (found.numbered && (found.counts || !numbers_agree(format, dialect))) return -1;
    if (!found.rewrite && !found.counts) return std::vsnprintf(out, size, format, args);
    out[0] = '\0';
    Filling filling{out, size};
    try {
        return format_rebuilt(filling, format, args, found.counts, dialect) ? filling.total : -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // namespace

VELM_HOT_PATH std::size_t format_message(char* out, std::size_t size, const char* format, va_list args) {
    long long length = format_in_dialect(out, size, format, args);
    if (length >= 0) return static_cast<std::size_t>(length);
    common::copy_cut(out, size, format);
    return std::strlen(format);
}

void print_message(std::FILE* stream, const char* format, va_list args) {
    char local[1024];
    va_list again;
    va_copy(again, args);
    std::size_t length = format_message(local, sizeof local, format, args);
    const char* text = local;
    std::vector<char> whole;
    if (length >= sizeof local) {
        // Longer than the first try: formatted again, whole, where there is
        // memory for it.
        try {
            whole.resize(length + 1);
            format_message(whole.data(), whole.size(), format, again);
            text = whole.data();
        } catch (const std::bad_alloc&) {
            length = sizeof local - 1;
        }
    }
    va_end(again);
    std::fwrite(text, 1, length, stream);
}

}  // namespace velm::log
