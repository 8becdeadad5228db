// The INI file reader: each file is read once per process into a Profile and
// answered from memory afterwards.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "common/environment.h"
#include "config/cache_locks.h"
#include "config/ini_pieces.h"
#include "config/profile.h"
#include "config/returned_buffer.h"
#include "platform/platform.h"
#include "velm_basetool.h"

namespace velm::config {

namespace {

// The files read so far; the table only grows, its records never change once
// in it, and all live until the process ends. Guarded by cache_locks().files.
struct FileCache {
    std::vector<std::unique_ptr<const Profile>> files;  // in the order of first reading
    std::vector<std::uint64_t> nameHashes;              // of each file's name, by number
    SlotIndex byName;                                   // each file's number, by its exact name
};

FileCache fileCache;

// Closes the file however the reading ends.
struct FileCloser {
    std::FILE* file;
    ~FileCloser() { std::fclose(file); }
};

// File names are compared byte for byte.
std::uint64_t name_hash(std::string_view fileName) { return hash_bytes(fileName.data(), fileName.size()); }

// A record whose name is fileName, kEmpty when none. The table lock is held.
std::uint32_t number_of(std::string_view fileName, std::uint64_t hash) {
    // The hashes, side by side in one array, spare a visit to the record of
    // every other file on the probe path.
    return fileCache.byName.find(hash, [&](std::uint32_t id) {
        return fileCache.nameHashes[id] == hash && std::string_view(fileCache.files[id]->name()) == fileName;
    });
}

// The cached record of fileName, or null. Records are never changed or
// freed once published, so the caller reads it without the lock.
const Profile* find_cached(std::string_view fileName, std::uint64_t hash) {
    std::shared_lock<std::shared_mutex> lock(cache_locks().files);
    std::uint32_t id = number_of(fileName, hash);
    return id == SlotIndex::kEmpty ? nullptr : fileCache.files[id].get();
}

// Enters fresh into the table, unless another thread entered the same file
// meanwhile; returns the record that answers. Without memory for the table,
// fresh answers this once and stays with the caller.
const Profile* publish(std::unique_ptr<Profile>& fresh, std::uint64_t hash) {
    std::unique_lock<std::shared_mutex> lock(cache_locks().files);
    std::uint32_t id = number_of(fresh->name(), hash);
    if (id != SlotIndex::kEmpty) return fileCache.files[id].get();
    try {
        make_room(fileCache.files, 1);
        make_room(fileCache.nameHashes, 1);
        fileCache.byName.reserve(1, [](std::uint32_t n) { return fileCache.nameHashes[n]; });
    } catch (const std::bad_alloc&) {
        return fresh.get();
    }
    fileCache.byName.insert(hash, static_cast<std::uint32_t>(fileCache.files.size()));
    fileCache.files.push_back(std::move(fresh));
    fileCache.nameHashes.push_back(hash);
    return fileCache.files.back().get();
}

// Room for the lines of a file of the size of file: its bytes, and one for
// the end of each piece that has no line feed.
void reserve_for(std::FILE* file, Profile& record) {
    if (std::fseek(file, 0, SEEK_END) != 0) return;
    long size = std::ftell(file);
    std::rewind(file);
    if (size > 0) {
        std::size_t bytes = static_cast<std::size_t>(size);
        record.reserve(bytes + bytes / kPieceLength + 2, 0);
    }
}

// Reads the lines of fileName into a new record; null, after logging why,
// when the file cannot be used. Only a regular file is opened: a directory
// would read as empty, and a pipe or device could block for ever.
std::unique_ptr<Profile> read_profile(const char* fileName) {
    platform::FileKind kind = platform::FileKind::missing;
    std::FILE* file = platform::open_for_reading(fileName, kind);
    if (!file) {
        VELM_ERROR(kind == platform::FileKind::missing ? "%s does not exist\n" : "%s could not be opened\n", fileName);
        return nullptr;
    }
    FileCloser closer{file};
    auto record = std::make_unique<Profile>(fileName);
    reserve_for(file, *record);
    bool read = read_pieces(file, [&](const char* piece, std::size_t length, bool) {
        if (record->store_line(piece, length)) VELM_TRACE("  Add line:%s\n", record->last_line());
    });
    if (!read) {
        // Half a file would answer defaults for what it lacks: keep nothing.
        VELM_ERROR("ERROR: reading %s failed; the file is not cached\n", fileName);
        return nullptr;
    }
    record->index_stored_lines();
    return record;
}

}  // namespace

}  // namespace velm::config

using namespace velm::config;

extern "C" {

int VELM_GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* returned,
                                 unsigned int size, const char* fileName) {
    if (!returned) size = 0;
    put_default(defaultValue, returned, size);
    if (!section || !key || !fileName) return text_length(returned, size);
    try {
        Profile::Query query(section, key);        // hashed beside the file's name
        std::uint64_t hash = name_hash(fileName);  // read as a view, its length once
        const Profile* record = find_cached(fileName, hash);
        std::unique_ptr<Profile> fresh;
        if (!record) {
            if (!velm::common::configuration_allows_ini()) {
                VELM_TRACE("No ini file used (config path is not defined).\n");
                return 0;
            }
            fresh = read_profile(fileName);
            if (!fresh) return 0;
            VELM_DEBUG("Cache %s %d values\n", fileName, fresh->line_count());
            record = fresh.get();
            if (!velm::platform::get_env("VELM_DISABLE_PROPFILE_CACHE")) record = publish(fresh, hash);
        }
        put_value(record->find_value(query), returned, size);
        return text_length(returned, size);
    } catch (const std::bad_alloc&) {
        return 0;  // the file could not be read into memory; nothing was recorded
    }
}

int VELM_GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName) {
    return lookup_int(VELM_GetPrivateProfileString, section, key, defaultValue, fileName);
}

}  // extern "C"
