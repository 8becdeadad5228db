// The preference cache: sections of key=value texts that hosts hand in, kept
// in one process-wide profile and looked up by the rules of INI files.
#include <cstring>
#include <memory>
#include <new>

#include "config/profile_cache.h"
#include "velm_basetool.h"

namespace velm::config {

namespace {

struct PrefCache {
    std::unique_ptr<ProfileCache> cache;   // null until a conversion creates it
    unsigned char disabled = 0;            // nonzero: rebuilt per conversion, deletable
};

PrefCache prefCache;

// A value counts with at most its first 1024 characters.
std::size_t value_length(const char* value) {
    std::size_t length = 0;
    while (length < 1024 && value[length] != '\0') ++length;
    return length;
}

bool has_section(const ProfileCache& cache, const char* section) {
    std::size_t sectionLength = std::strlen(section);
    for (std::size_t header : cache.headers) {
        if (is_header_of(cache.lines[header], section, sectionLength)) return true;
    }
    return false;
}

// Appends the header of section and the values that qualify; returns how many
// lines were added.
std::size_t append_section(ProfileCache& cache, const char* section, int valueCount,
                           const char* const* values) {
    std::size_t before = cache.lines.size();
    std::string header = std::string("[") + section + "]";
    // The header goes in as it is, so that even an empty name gives "[]".
    append_line(cache, header.data(), header.size());
    VELM_TRACE("  Add section line:%s\n", header.c_str());
    for (int i = 0; values && i < valueCount; ++i) {
        if (values[i]) AddLine(cache, values[i], value_length(values[i]));
    }
    return cache.lines.size() - before;
}

void convert(const char* section, int valueCount, const char* const* values,
             const char* cacheName) {
    bool created = !prefCache.cache;
    if (created) {
        auto fresh = std::make_unique<ProfileCache>();
        fresh->name = shown(cacheName);
        prefCache.cache = std::move(fresh);
    } else if (has_section(*prefCache.cache, section)) {
        VELM_TRACE("Section %s still exists. No values converted\n", section);
        return;
    }
    ProfileCache& cache = *prefCache.cache;
    std::size_t before = cache.lines.size();
    try {
        std::size_t added = append_section(cache, section, valueCount, values);
        VELM_TRACE("Converted %d values\n", static_cast<int>(added));
        VELM_DEBUG("Preference cache %s with %d lines\n", shown(cacheName),
                   static_cast<int>(cache.lines.size()));
    } catch (const std::bad_alloc&) {
        // Out of memory: the cache is left as it was before this call.
        if (created) {
            prefCache.cache.reset();
        } else {
            truncate_lines(cache, before);
        }
    }
}

}  // namespace

}  // namespace velm::config

using namespace velm::config;

extern "C" {

void VELM_CreateProfileFromPref(const char* section, int valueCount, const char* const* values,
                                const char* cacheName, unsigned char keepExisting) {
    if (!section) return;
    if (!keepExisting && prefCache.disabled) prefCache.cache.reset();
    try {
        convert(section, valueCount, values, cacheName);
    } catch (const std::bad_alloc&) {
        // The cache could not even be created; the next conversion tries again.
    }
}

void VELM_DeletePrefProfile(void) {
    if (prefCache.disabled) prefCache.cache.reset();
}

int VELM_GetPrivatePreferenceString(const char* section, const char* key,
                                    const char* defaultValue, char* returned,
                                    unsigned int size, const char* profileName) {
    (void)profileName;  // there is only the one preference cache
    if (!returned) size = 0;
    put_default(defaultValue, returned, size);
    if (section && key && prefCache.cache) FindValue(*prefCache.cache, section, key, returned, size);
    return text_length(returned, size);
}

unsigned char VELM_IsLocPrefCacheDisabled(void) { return prefCache.disabled; }

void VELM_SetDisableLocPrefCache(unsigned char disabled) { prefCache.disabled = disabled; }

}  // extern "C"
