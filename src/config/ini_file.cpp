// The INI file reader: each file is read once per process into a
// ProfileCache and answered from memory afterwards.
#include <cstdio>
#include <cstring>
#include <new>

#include "common/environment.h"
#include "config/profile_cache.h"
#include "platform/platform.h"
#include "velm_basetool.h"

namespace velm::config {

namespace {

// The files read so far; the table only grows and lives until the process ends.
struct FileCache {
    std::vector<ProfileCache> files;   // one per file read while caching was on, in order
};

FileCache fileCache;

// Closes the file however the reading ends.
struct FileCloser {
    std::FILE* file;
    ~FileCloser() { std::fclose(file); }
};

const ProfileCache* find_cached(const char* fileName) {
    for (const ProfileCache& record : fileCache.files) {
        if (record.name == fileName) return &record;
    }
    return nullptr;
}

// Reads the lines of fileName into record. False, after logging why, when the
// file cannot be used. Only a regular file is opened: a directory would read
// as empty, and a pipe or device could block for ever.
bool read_profile(const char* fileName, ProfileCache& record) {
    platform::FileKind kind = platform::file_kind(fileName);
    if (kind == platform::FileKind::missing) {
        VELM_ERROR("%s does not exist\n", fileName);
        return false;
    }
    std::FILE* file = kind == platform::FileKind::regular ? platform::open_for_reading(fileName)
                                                            : nullptr;
    if (!file) {
        VELM_ERROR("%s could not be opened\n", fileName);
        return false;
    }
    FileCloser closer{file};
    // A longer line arrives in pieces of 1023 characters, each a line of its own.
    char piece[1024];
    while (std::fgets(piece, sizeof piece, file)) AddLine(record, piece, std::strlen(piece));
    return true;
}

// The record for fileName, read now if it is not cached. fresh receives a
// record that does not enter the table. Null when the file cannot be used.
const ProfileCache* profile_of(const char* fileName, ProfileCache& fresh) {
    if (const ProfileCache* cached = find_cached(fileName)) return cached;
    if (!common::configuration_allows_ini()) {
        VELM_TRACE("No ini file used (config path is not defined).\n");
        return nullptr;
    }
    fresh.name = fileName;
    if (!read_profile(fileName, fresh)) return nullptr;
    VELM_DEBUG("Cache %s %d values\n", fileName, static_cast<int>(fresh.lines.size()));
    if (platform::get_env("VELM_DISABLE_PROPFILE_CACHE")) return &fresh;
    try {
        fileCache.files.push_back(std::move(fresh));
        return &fileCache.files.back();
    } catch (const std::bad_alloc&) {
        return &fresh;  // answered now, read again next time
    }
}

}  // namespace

}  // namespace velm::config

using namespace velm::config;

extern "C" {

int VELM_GetPrivateProfileString(const char* section, const char* key,
                                 const char* defaultValue, char* returned, unsigned int size,
                                 const char* fileName) {
    if (!returned) size = 0;
    put_default(defaultValue, returned, size);
    if (!section || !key || !fileName) return text_length(returned, size);
    try {
        ProfileCache fresh;
        const ProfileCache* record = profile_of(fileName, fresh);
        if (!record) return 0;
        FindValue(*record, section, key, returned, size);
        return text_length(returned, size);
    } catch (const std::bad_alloc&) {
        return 0;  // the file could not be read into memory; nothing was recorded
    }
}

int VELM_GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                              const char* fileName) {
    return lookup_int(VELM_GetPrivateProfileString, section, key, defaultValue, fileName);
}

}  // extern "C"
