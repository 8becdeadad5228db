// In-place case conversion of 8-bit strings, in the two variants hosts use:
// one that passes every byte through the conversion, one that converts only
// the bytes the locale classifies. The process's current locale decides; the
// library never sets one.
#include <cctype>
#include <cstring>

#include "velm_basetool.h"
#include "velm_string.h"

namespace velm::strings {

namespace {

using Convert = int (*)(int);

// <cctype> takes a byte as an unsigned char value; a plain char of 0x80 or
// above would arrive negative.
int byte_value(char c) { return static_cast<unsigned char>(c); }

void convert_every_byte(char* s, Convert convert) {
    for (; *s != '\0'; ++s) *s = static_cast<char>(convert(byte_value(*s)));
}

void convert_classified_bytes(char* s, Convert isClass, Convert convert) {
    std::size_t length = std::strlen(s);
    for (std::size_t i = 0; i < length; ++i)
        if (isClass(byte_value(s[i]))) s[i] = static_cast<char>(convert(byte_value(s[i])));
}

// Plain wrappers, so that no pointer to a standard library function is taken.
int to_lower(int c) { return std::tolower(c); }
int to_upper(int c) { return std::toupper(c); }
int is_upper(int c) { return std::isupper(c); }
int is_lower(int c) { return std::islower(c); }

}  // namespace

}  // namespace velm::strings

using velm::strings::convert_classified_bytes;
using velm::strings::convert_every_byte;

CVELM_String::CVELM_String() = default;

CVELM_String& CVELM_String::operator=(const CVELM_String&) { return *this; }

void CVELM_String::string_to_lower(char* s) {
    if (s) convert_classified_bytes(s, velm::strings::is_upper, velm::strings::to_lower);
}

void CVELM_String::string_to_upper(char* s) {
    if (s) convert_classified_bytes(s, velm::strings::is_lower, velm::strings::to_upper);
}

extern "C" {

void VELM_Translate_String_To_Lower(char* s) {
    if (s) convert_every_byte(s, velm::strings::to_lower);
}

void VELM_Translate_String_To_Upper(char* s) {
    if (s) convert_every_byte(s, velm::strings::to_upper);
}

void VELM_StringToLower(char* s) { CVELM_String::string_to_lower(s); }

void VELM_StringToUpper(char* s) { CVELM_String::string_to_upper(s); }

}  // extern "C"
