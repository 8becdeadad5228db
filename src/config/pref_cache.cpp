// The preference cache: sections of key=value texts that hosts hand in, kept
// in one process-wide profile and looked up by the rules of INI files.
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "config/cache_locks.h"
#include "config/profile.h"
#include "config/returned_buffer.h"
#include "velm_basetool.h"

namespace velm::config {

namespace {

struct PrefCache {
    std::unique_ptr<Profile> cache;          // null until a conversion creates it; guarded
                                             // by cache_locks().preferences
    std::atomic<unsigned char> disabled{0};  // nonzero: rebuilt per conversion, deletable
};

PrefCache prefCache;

// What a conversion did, logged once the lock is released.
struct Conversion {
    bool refused = false;            // the section stood in the cache already
    std::vector<std::string> added;  // the lines appended, the header first
    int lineCount = 0;               // the cache's lines afterwards
};

// A value counts with at most its first 1024 characters.
std::size_t value_length(const char* value) {
    std::size_t length = 0;
    while (length < 1024 && value[length] != '\0') ++length;
    return length;
}

// Appends the header of section and the values that qualify to cache, whole
// or (without memory) not at all; the texts of the lines kept go to kept.
void append_section(Profile& cache, const char* section, int valueCount, const char* const* values,
                    std::vector<const char*>& kept) {
    std::string header = std::string("[") + section + "]";
    std::size_t bytes = header.size() + 1, lines = 1;
    for (int i = 0; values && i < valueCount; ++i) {
        if (values[i]) bytes += value_length(values[i]) + 1, ++lines;
    }
    cache.reserve(bytes, lines);
    kept.reserve(lines);
    // From here on nothing allocates. The header goes in as it is, so that
    // even an empty name gives "[]".
    cache.append_line(header.data(), header.size());
    kept.push_back(cache.last_line());
    for (int i = 0; values && i < valueCount; ++i) {
        if (values[i] && is_kept(cache.add_line(values[i], value_length(values[i])).verdict))
            kept.push_back(cache.last_line());
    }
}

// Converts section into the cache; the lock is held.
void convert(const char* section, int valueCount, const char* const* values, const char* cacheName, Conversion& done) {
    bool created = !prefCache.cache;
    if (created) {
        prefCache.cache = std::make_unique<Profile>(shown(cacheName));
    } else if (prefCache.cache->find_section(section) != SlotIndex::kEmpty) {
        done.refused = true;
        return;
    }
    std::vector<const char*> kept;
    try {
        append_section(*prefCache.cache, section, valueCount, values, kept);
    } catch (const std::bad_alloc&) {
        if (created) prefCache.cache.reset();
        throw;
    }
    done.lineCount = prefCache.cache->line_count();
    try {
        done.added.assign(kept.begin(), kept.end());
    } catch (const std::bad_alloc&) {
        done.added.clear();  // converted, only the trace of the lines is lost
    }
}

void log_conversion(const Conversion& done, const char* section, const char* cacheName) {
    if (done.refused) {
        VELM_TRACE("Section %s still exists. No values converted\n", section);
        return;
    }
    for (std::size_t i = 0; i < done.added.size(); ++i)
        VELM_TRACE(i == 0 ? "  Add section line:%s\n" : "  Add line:%s\n", done.added[i].c_str());
    VELM_TRACE("Converted %d values\n", static_cast<int>(done.added.size()));
    VELM_DEBUG("Preference cache %s with %d lines\n", shown(cacheName), done.lineCount);
}

}  // namespace

}  // namespace velm::config

using namespace velm::config;

extern "C" {

void VELM_CreateProfileFromPref(const char* section, int valueCount, const char* const* values, const char* cacheName,
                                unsigned char keepExisting) {
    if (!section) return;
    std::unique_ptr<Profile> discarded;  // freed after the lock is released
    Conversion done;
    try {
        std::unique_lock<std::shared_mutex> lock(cache_locks().preferences);
        if (!keepExisting && prefCache.disabled) discarded = std::move(prefCache.cache);
        convert(section, valueCount, values, cacheName, done);
    } catch (const std::bad_alloc&) {
        return;  // the cache is as it was; the next conversion tries again
    }
    log_conversion(done, section, cacheName);
}

void VELM_DeletePrefProfile(void) {
    if (!prefCache.disabled) return;
    std::unique_ptr<Profile> discarded;
    std::unique_lock<std::shared_mutex> lock(cache_locks().preferences);
    discarded.swap(prefCache.cache);
    lock.unlock();
}

int VELM_GetPrivatePreferenceString(const char* section, const char* key, const char* defaultValue, char* returned,
                                    unsigned int size, const char* profileName) {
    (void)profileName;  // there is only the one preference cache
    if (!returned) size = 0;
    put_default(defaultValue, returned, size);
    if (section && key) {
        std::shared_lock<std::shared_mutex> lock(cache_locks().preferences);
        if (prefCache.cache) put_value(prefCache.cache->find_value(section, key), returned, size);
    }
    return text_length(returned, size);
}

unsigned char VELM_IsLocPrefCacheDisabled(void) { return prefCache.disabled; }

void VELM_SetDisableLocPrefCache(unsigned char disabled) { prefCache.disabled = disabled; }

}  // extern "C"
