#include "config/profile_cache.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "common/text.h"
#include "velm_basetool.h"

namespace velm::config {

namespace {

// The length of text once line ends, then trailing blanks and carriage
// returns are taken off. Tabs stay, and the start is never touched.
std::size_t trimmed_length(const char* text, std::size_t length) {
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\r')) --length;
    return length;
}

// Lines shorter than 3 characters and "#" comments (first column only) are
// dropped.
bool keeps_line(const char* text, std::size_t length) {
    return length >= 3 && text[0] != '#';
}

// Whether an entry's key (all before its first '=') is key, ignoring case.
bool key_matches(const ProfileLine& line, const char* key, std::size_t keyLength) {
    return line.keyLength == keyLength &&
           common::equal_ignoring_case(line.text.data(), keyLength, key);
}

}  // namespace

void append_line(ProfileCache& cache, const char* text, std::size_t length) {
    ProfileLine line;
    line.text.assign(text, length);
    line.keyLength = line.text.find('=');
    line.header = length > 0 && text[0] == '[';
    // Reserved first, so that a failing allocation leaves both arrays alike.
    if (line.header) cache.headers.reserve(cache.headers.size() + 1);
    cache.lines.push_back(std::move(line));
    if (cache.lines.back().header) cache.headers.push_back(cache.lines.size() - 1);
}

void truncate_lines(ProfileCache& cache, std::size_t count) {
    if (count >= cache.lines.size()) return;
    cache.lines.erase(cache.lines.begin() + static_cast<std::ptrdiff_t>(count), cache.lines.end());
    while (!cache.headers.empty() && cache.headers.back() >= count) cache.headers.pop_back();
}

void AddLine(ProfileCache& cache, const char* text, std::size_t length) {
    length = trimmed_length(text, length);
    if (!keeps_line(text, length)) return;
    append_line(cache, text, length);
    VELM_TRACE("  Add line:%s\n", cache.lines.back().text.c_str());
}

bool is_header_of(const ProfileLine& line, const char* section, std::size_t sectionLength) {
    // Compared with "[" section "]" in place: no header text is formed, so a
    // section name of any length is looked up soundly.
    const std::string& text = line.text;
    return line.header && text.size() == sectionLength + 2 && text.back() == ']' &&
           common::equal_ignoring_case(text.data() + 1, sectionLength, section);
}

bool FindValue(const ProfileCache& cache, const char* section, const char* key,
               char* returned, unsigned int size) {
    char cutKey[kKeyLength + 1];
    std::size_t keyLength = common::copy_cut(cutKey, sizeof cutKey, key);
    std::size_t sectionLength = std::strlen(section);

    // Only the first header of the section counts; the walk visits headers
    // alone until it finds it, then the entries below it.
    auto header = cache.headers.begin();
    while (header != cache.headers.end() && !is_header_of(cache.lines[*header], section, sectionLength))
        ++header;
    if (header == cache.headers.end()) return false;
    auto line = cache.lines.begin() + static_cast<std::ptrdiff_t>(*header);
    for (++line; line != cache.lines.end() && !line->header; ++line) {
        if (key_matches(*line, cutKey, keyLength)) {
            common::copy_cut(returned, size, line->text.c_str() + keyLength + 1);
            return true;
        }
    }
    return false;
}

void put_default(const char* defaultValue, char* returned, unsigned int size) {
    if (!returned || size == 0) return;
    std::size_t length = defaultValue ? std::strlen(defaultValue) : 0;
    if (!defaultValue || length >= size) {
        returned[0] = '\0';
        return;
    }
    std::memcpy(returned, defaultValue, length);
    std::memset(returned + length, 0, size - length);
}

int text_length(const char* returned, unsigned int size) {
    if (!returned || size == 0) return 0;
    const void* end = std::memchr(returned, '\0', size);
    std::size_t length = end ? static_cast<const char*>(end) - returned : size;
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}

int lookup_int(TextLookup lookup, const char* section, const char* key, int defaultValue,
               const char* name) {
    char defaultText[16];
    std::snprintf(defaultText, sizeof defaultText, "%d", defaultValue);
    char buffer[1025] = {};
    lookup(section, key, defaultText, buffer, 1024, name);
    return common::leading_int(buffer);
}

}  // namespace velm::config
