// In-place editing of a caller's 8-bit string: trimming blanks, deleting or
// replacing one character, replacing the first occurrence of a substring and
// turning path and markup characters into underscores. Nothing here
// allocates, logs or keeps state, and no byte after the terminator that a
// string had on entry is ever read or written.
#include <cstring>

#include "velm_basetool.h"

namespace velm::strings {

namespace {

// Only space and tab count: callers trim lines whose carriage return and line
// feed must survive.
bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The bytes that cannot stand in a file name or a markup token.
constexpr char kExtraChars[] = " \"-./:<>?\\|";

struct ExtraCharTable {
    bool isExtra[256] = {};
    constexpr ExtraCharTable() {
        for (const char* c = kExtraChars; *c != '\0'; ++c) isExtra[static_cast<unsigned char>(*c)] = true;
    }
};

constexpr ExtraCharTable kExtraCharTable;

// Moves the text after the leading blanks, its terminator included, to the
// front. Returns the length of the string left.
std::size_t remove_leading_blanks(char* s) {
    std::size_t skipped = 0;
    while (is_blank(s[skipped])) ++skipped;
    std::size_t rest = std::strlen(s + skipped);
    std::memmove(s, s + skipped, rest + 1);
    return rest;
}

// Overwrites the trailing blanks of the length bytes of s with terminators.
void remove_trailing_blanks(char* s, std::size_t length) {
    while (length > 0 && is_blank(s[length - 1])) s[--length] = '\0';
}

void clean(char* s, int leading, int trailing) {
    std::size_t length = leading ? remove_leading_blanks(s) : 0;
    if (!trailing) return;
    if (!leading) length = std::strlen(s);
    remove_trailing_blanks(s, length);
}

int delete_chars(char* s, char c) {
    // The terminator is never deleted, though strchr would find it.
    char* write = c == '\0' ? nullptr : std::strchr(s, c);
    if (!write) return 0;
    int count = 0;
    for (const char* read = write; *read != '\0'; ++read) {
        if (*read == c)
            ++count;
        else
            *write++ = *read;
    }
    *write = '\0';
    return count;
}

int replace_char(char* s, char find, char replacement) {
    // Each byte is read before it is written, so a NUL replacement cuts the
    // string without ending the walk early: the walk stops only at the
    // terminator the string had on entry, which find (never NUL here) cannot
    // match.
    if (find == '\0') return 0;
    int count = 0;
    for (; *s != '\0'; ++s) {
        if (*s == find) {
            *s = replacement;
            ++count;
        }
    }
    return count;
}

int replace_string(char* source, const char* search, const char* replacement, char* out) {
    if (search[0] == '\0') return -1;
    char* match = std::strstr(source, search);
    if (!match) return -1;
    const char* tail = match + std::strlen(search);
    // Callers rely on finding the source cut at the match afterwards.
    *match = '\0';
    std::size_t before = static_cast<std::size_t>(match - source);
    std::size_t inserted = std::strlen(replacement);
    // Hosts also pass the source as the output: the tail moves first, out of
    // the way of the replacement, and the text before the match then stays
    // where it is.
    std::memmove(out + before + inserted, tail, std::strlen(tail) + 1);
    std::memmove(out, source, before);
    std::memcpy(out + before, replacement, inserted);
    return 0;
}

void kill_extra_chars(char* s) {
    for (; *s != '\0'; ++s)
        if (kExtraCharTable.isExtra[static_cast<unsigned char>(*s)]) *s = '_';
}

}  // namespace

}  // namespace velm::strings

extern "C" {

void VELM_Bereinige_String(char* s, int leading, int trailing) {
    if (s) velm::strings::clean(s, leading, trailing);
}

int VELM_Delete_Chars_From_String(char* s, char c) { return s ? velm::strings::delete_chars(s, c) : 0; }

int VELM_Replace_Char_In_String(char* s, char find, char replacement) {
    return s ? velm::strings::replace_char(s, find, replacement) : 0;
}

int VELM_Replace_String_In_String(char* source, const char* search, const char* replacement, char* out) {
    if (!source || !search || !replacement || !out) return -1;
    return velm::strings::replace_string(source, search, replacement, out);
}

void VELM_KillExtraChars(char* s) {
    if (s) velm::strings::kill_extra_chars(s);
}

}  // extern "C"
