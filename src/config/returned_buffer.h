// The caller's side of a lookup: the default and the value in the caller's
// buffer, and the integer lookups built on the text ones.
#pragma once

namespace velm::config {

// Leaves defaultValue in returned, the rest of its size bytes zeroed, when it
// is shorter than size; else the empty text. Writes nothing for size 0.
void put_default(const char* defaultValue, char* returned, unsigned int size);

// Copies value into returned, cut to size - 1 characters; nothing for a null
// value or size 0.
void put_value(const char* value, char* returned, unsigned int size);

// The length of the text in returned (0 when nothing could be written).
int text_length(const char* returned, unsigned int size);

// The shape shared by the file and the preference lookup.
using TextLookup = int (*)(const char* section, const char* key, const char* defaultValue, char* returned,
                           unsigned int size, const char* name);

// The value of key read as a decimal integer by the atol rules, defaultValue
// when lookup does not find it.
int lookup_int(TextLookup lookup, const char* section, const char* key, int defaultValue, const char* name);

// text, or "" for null, for the log lines that show a caller's argument.
inline const char* shown(const char* text) { return text ? text : ""; }

}  // namespace velm::config
