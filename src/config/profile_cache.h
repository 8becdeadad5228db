// One in-memory profile (the lines of an INI file or of the preference
// cache), the rule that decides which lines are kept, and the section and key
// lookup. The file cache and the preference cache share all three.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velm::config {

// A kept line, with what a lookup needs to know about it worked out once.
struct ProfileLine {
    std::string text;                          // trimmed, at least 3 characters
    std::size_t keyLength = std::string::npos; // position of the first '=', npos: none
    bool header           = false;             // begins with '['
};

struct ProfileCache {
    std::vector<ProfileLine> lines;   // in the order they were added
    std::vector<std::size_t> headers; // indexes of the lines that begin with '['
    std::string name;                 // file name or cache name, kept whole
};

// Only the first 100 characters of a key take part in a lookup.
constexpr std::size_t kKeyLength = 100;

// Appends a line to cache as it stands (no trimming, no keep rule).
void append_line(ProfileCache& cache, const char* text, std::size_t length);

// Drops the lines from index count on (undoing appends).
void truncate_lines(ProfileCache& cache, std::size_t count);

// Trims the first length characters of text at their end and appends them if
// they make a line worth keeping, with a trace line. May throw bad_alloc.
void AddLine(ProfileCache& cache, const char* text, std::size_t length);

// Whether line is "[" section "]", without regard to ASCII case.
bool is_header_of(const ProfileLine& line, const char* section, std::size_t sectionLength);

// Looks key up under the first header of section and, if found, copies its
// value into returned, cut to size - 1 characters. Without a result returned
// keeps what it holds. True when found.
bool FindValue(const ProfileCache& cache, const char* section, const char* key,
               char* returned, unsigned int size);

// Leaves defaultValue in returned, the rest of its size bytes zeroed, when it
// is shorter than size; else the empty text. Writes nothing for size 0.
void put_default(const char* defaultValue, char* returned, unsigned int size);

// The length of the text in returned (0 when nothing could be written).
int text_length(const char* returned, unsigned int size);

// The shape shared by the file and the preference lookup.
using TextLookup = int (*)(const char* section, const char* key, const char* defaultValue,
                           char* returned, unsigned int size, const char* name);

// The value of key read as a decimal integer by the atol rules, defaultValue
// when lookup does not find it.
int lookup_int(TextLookup lookup, const char* section, const char* key, int defaultValue,
               const char* name);

// text, or "" for null, for the log lines that show a caller's argument.
inline const char* shown(const char* text) { return text ? text : ""; }

}  // namespace velm::config
