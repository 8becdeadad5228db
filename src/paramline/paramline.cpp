// CVELM_ParamLine: every getter finds its field afresh in the stored line and
// reads it in place; only GetParamInt copies the field, to end the number there.
#include "velm_paramline.h"

#include <cstring>

#include "common/text.h"
#include "velm_basetool.h"

namespace velm::paramline {

namespace {

// The most characters a line keeps; the array holds one more for the NUL.
const std::size_t kMaxLine = 1024;

// A field inside the line: where it starts and how long it is (0 when absent).
struct Field {
    const char* text;
    std::size_t length;
};

// Where the field that starts at begin ends: at the next delimiter or at the
// line's NUL, which is also where strchr finds a NUL delimiter; nothing is
// ever read past that NUL.
const char* field_end(const char* begin, char delimiter) {
    const char* end = std::strchr(begin, delimiter);
    return end ? end : begin + std::strlen(begin);
}

// Field index of line; a negative index is field 0, an index past the last
// delimiter an absent (empty) field.
Field find_field(const char* line, char delimiter, int index) {
    const char* begin = line;
    for (int i = 0; i < index; ++i) {
        const char* end = field_end(begin, delimiter);
        if (*end == '\0') return Field{end, 0};
        begin = end + 1;
    }
    return Field{begin, static_cast<std::size_t>(field_end(begin, delimiter) - begin)};
}

}  // namespace

}  // namespace velm::paramline

using velm::paramline::Field;
using velm::paramline::find_field;

CVELM_ParamLine::CVELM_ParamLine(const char* line, char delimiter) : m_Line(), m_Delimiter(delimiter) {
    if (line == nullptr) return;
    std::size_t length = 0;
    while (length < velm::paramline::kMaxLine && line[length] != '\0') {
        m_Line[length] = line[length];
        ++length;
    }
    if (line[length] != '\0') VELM_WARNING("ParamLine to long\n");
}

CVELM_ParamLine& CVELM_ParamLine::operator=(const CVELM_ParamLine& other) {
    if (this != &other) {
        std::memcpy(m_Line, other.m_Line, sizeof m_Line);
        m_Delimiter = other.m_Delimiter;
    }
    return *this;
}

// One pass over the line instead of finding each field from the start.
int CVELM_ParamLine::GetCount() const {
    int count = 0;
    for (const char* begin = m_Line;; ++count) {
        const char* end = velm::paramline::field_end(begin, m_Delimiter);
        if (end == begin) return count;
        if (*end == '\0') return count + 1;
        begin = end + 1;
    }
}

int CVELM_ParamLine::GetParamString(int index, char* const out) const {
    if (out == nullptr) return 0;
    Field field = find_field(m_Line, m_Delimiter, index);
    std::memcpy(out, field.text, field.length);
    out[field.length] = '\0';
    return static_cast<int>(field.length);
}

char CVELM_ParamLine::GetParamChar(int index) const {
    Field field = find_field(m_Line, m_Delimiter, index);
    return field.length == 0 ? 's' : field.text[0];
}

int CVELM_ParamLine::GetParamInt(int index) const {
    // The field ends at a delimiter, which may itself be a digit, a sign or
    // white space; the conversion needs it on its own.
    char text[sizeof m_Line];
    if (GetParamString(index, text) == 0) return 0;
    return velm::common::leading_int(text);
}

int CVELM_ParamLine::TestParamString(int index, const char* text) const {
    Field field = find_field(m_Line, m_Delimiter, index);
    if (text == nullptr) text = "";
    return (std::strncmp(field.text, text, field.length) == 0 && text[field.length] == '\0') ? 1 : 0;
}
