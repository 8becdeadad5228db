#include "arguments.h"

#include <cstdio>

#include "common/text.h"

namespace velmtool {

namespace {

using velm::common::is_digit;

// Parses text as [sign]digits; false for anything else or a magnitude that
// leaves the range of int (the digits are summed with an early stop, so a
// long run of digits cannot overflow).
bool parse_int(const std::string& text, long long& value) {
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    if (at == text.size()) return false;
    long long magnitude = 0;
    for (; at < text.size(); ++at) {
        if (!is_digit(text[at])) return false;
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > 2147483648LL) return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

int int_argument(const std::string& text, const char* what, int min, int max) {
    long long value = 0;
    if (!parse_int(text, value) || value < min || value > max) {
        throw UsageError(std::string(what) + " must be an integer from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not " + quoted(text));
    }
    return static_cast<int>(value);
}

char char_argument(const std::string& text, const char* what) {
    if (text.size() != 1) {
        throw UsageError(std::string(what) + " must be one character, not " + quoted(text));
    }
    return text[0];
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7f) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(byte));
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

std::string quoted(const std::string& text) { return '"' + escaped(text) + '"'; }

}  // namespace velmtool
