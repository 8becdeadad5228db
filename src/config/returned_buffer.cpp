#include "config/returned_buffer.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "common/text.h"
#include "velm_basetool.h"

namespace velm::config {

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

void put_value(const char* value, char* returned, unsigned int size) {
    if (!value || !returned || size == 0) return;
    // A value ends inside its profile, so its whole length can be read.
    std::size_t length = std::min<std::size_t>(std::strlen(value), size - 1);
    std::memcpy(returned, value, length);
    returned[length] = '\0';
}

int text_length(const char* returned, unsigned int size) {
    if (!returned || size == 0) return 0;
    const void* end = std::memchr(returned, '\0', size);
    std::size_t length = end ? static_cast<const char*>(end) - returned : size;
    return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
}

int lookup_int(TextLookup lookup, const char* section, const char* key, int defaultValue, const char* name) {
    char defaultText[16];
    std::snprintf(defaultText, sizeof defaultText, "%d", defaultValue);
    char buffer[VELM_RETURNED_SIZE + 1] = {};
    lookup(section, key, defaultText, buffer, VELM_RETURNED_SIZE, name);
    return common::leading_int(buffer);
}

}  // namespace velm::config
