// The INI file reader: each file is read once per process into a Profile and
// answered from memory afterwards; with VELM_CONFIG_RELOAD set, a file changed
// on disk is read anew and its new Profile takes the old one's place.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "common/environment.h"
#include "common/text.h"
#include "config/cache_locks.h"
#include "config/ini_pieces.h"
#include "config/profile.h"
#include "config/returned_buffer.h"
#include "platform/platform.h"
#include "velm_basetool.h"

namespace velm::config {

namespace {

// How a cached file follows its changes on disk. The lookup that wins the
// turn (by setting nextCheck to kChecking) is the only one to touch the rest
// until it sets the time of the next check.
struct Reloading {
    std::int64_t interval;                // milliseconds between two looks at the file
    std::atomic<std::int64_t> nextCheck;  // coarse milliseconds, or kChecking
    platform::FileStamp stamp;            // of the contents held; unknown when they changed while read
    bool failing = false;                 // the last look found the file unusable, and said so
};

constexpr std::int64_t kChecking = INT64_MAX;

// The files read so far; the table only grows and all its entries live until
// the process ends. A file kept as first read has no Reloading and its
// profile never changes; one that follows its changes gets a new profile
// when it is read anew, and the old one is freed once no lookup holds the
// lock. Guarded by cache_locks().files.
struct FileCache {
    std::vector<std::unique_ptr<const Profile>> files;  // in the order of first reading
    std::vector<std::unique_ptr<Reloading>> reloading;  // null for a file kept as first read
    std::vector<std::uint64_t> nameHashes;              // of each file's name, by number
    SlotIndex byName;                                   // each file's number, by its exact name
};

FileCache fileCache;

// What a lookup in a file that follows its changes needs: the table lock,
// kept shared until the value is copied, so that a reload cannot free the
// profile under it (a profile is replaced only under the lock held alone:
// no count to raise and lower), and how the file follows. Unused for a file
// kept as first read.
struct Following {
    std::shared_lock<std::shared_mutex> lock;
    Reloading* reloading = nullptr;
};

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

// The cached profile of fileName, or null. A file kept as first read keeps
// its profile until the process ends, so the caller reads it without the
// lock: the lookup costs what it always did. For a file that follows its
// changes the lock stays with following.
inline const Profile* find_cached(std::string_view fileName, std::uint64_t hash, Following& following) {
    std::shared_lock<std::shared_mutex> lock(cache_locks().files);
    std::uint32_t id = number_of(fileName, hash);
    if (id == SlotIndex::kEmpty) return nullptr;
    if (fileCache.reloading[id]) {
        following.reloading = fileCache.reloading[id].get();
        following.lock = std::move(lock);
    }
    return fileCache.files[id].get();
}

// Enters fresh into the table, with reloading when it is to follow its
// changes; its number, or kEmpty without memory for the table (fresh then
// stays with the caller). The table lock is held.
std::uint32_t enter(std::unique_ptr<Profile>& fresh, std::unique_ptr<Reloading> reloading, std::uint64_t hash) {
    try {
        make_room(fileCache.files, 1);
        make_room(fileCache.reloading, 1);
        make_room(fileCache.nameHashes, 1);
        fileCache.byName.reserve(1, [](std::uint32_t n) { return fileCache.nameHashes[n]; });
    } catch (const std::bad_alloc&) {
        return SlotIndex::kEmpty;
    }
    std::uint32_t id = static_cast<std::uint32_t>(fileCache.files.size());
    fileCache.byName.insert(hash, id);
    fileCache.files.push_back(std::move(fresh));
    fileCache.reloading.push_back(std::move(reloading));
    fileCache.nameHashes.push_back(hash);
    return id;
}

// Enters fresh into the table, unless another thread entered the same file
// meanwhile; returns the profile that answers. Without memory for the table,
// fresh answers this once and stays with the caller.
const Profile* publish(std::unique_ptr<Profile>& fresh, std::unique_ptr<Reloading> reloading, std::uint64_t hash) {
    std::unique_lock<std::shared_mutex> lock(cache_locks().files);
    std::uint32_t id = number_of(fresh->name(), hash);
    if (id == SlotIndex::kEmpty) id = enter(fresh, std::move(reloading), hash);
    return id == SlotIndex::kEmpty ? fresh.get() : fileCache.files[id].get();
}

// Puts fresh in the place of the profile of the cached file of its name. No
// lookup is still using the old profile once the lock is held alone; it is
// freed here, after the lock.
void replace(std::unique_ptr<const Profile> fresh, std::uint64_t hash) {
    std::unique_ptr<const Profile> old;
    std::unique_lock<std::shared_mutex> lock(cache_locks().files);
    std::uint32_t id = number_of(fresh->name(), hash);
    old = std::exchange(fileCache.files[id], std::move(fresh));
    lock.unlock();
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

// Why a file could not be read into a profile.
enum class ReadFailure { none, missing, unopenable, readError };

// Reads the lines of fileName into a new record, which is null when the
// file cannot be used. Only a regular file is opened: a directory would read
// as empty, and a pipe or device could block for ever.
ReadFailure read_lines(const char* fileName, std::unique_ptr<Profile>& record) {
    platform::FileKind kind = platform::FileKind::missing;
    std::FILE* file = platform::open_for_reading(fileName, kind);
    if (!file) return kind == platform::FileKind::missing ? ReadFailure::missing : ReadFailure::unopenable;
    FileCloser closer{file};
    record = std::make_unique<Profile>(fileName);
    reserve_for(file, *record);
    bool read = read_pieces(file, [&](const char* piece, std::size_t length, bool) {
        if (record->store_line(piece, length)) VELM_TRACE("  Add line:%s\n", record->last_line());
    });
    if (!read) {
        // Half a file would answer defaults for what it lacks: keep nothing.
        record.reset();
        return ReadFailure::readError;
    }
    record->index_stored_lines();
    return ReadFailure::none;
}

// Reads the lines of fileName into a new record; null, after logging why,
// when the file cannot be used.
std::unique_ptr<Profile> read_profile(const char* fileName) {
    std::unique_ptr<Profile> record;
    switch (read_lines(fileName, record)) {
        case ReadFailure::none:
            break;
        case ReadFailure::missing:
            VELM_ERROR("%s does not exist\n", fileName);
            break;
        case ReadFailure::unopenable:
            VELM_ERROR("%s could not be opened\n", fileName);
            break;
        case ReadFailure::readError:
            VELM_ERROR("ERROR: reading %s failed; the file is not cached\n", fileName);
            break;
    }
    return record;
}

// The milliseconds between two looks at a file that VELM_CONFIG_RELOAD asks
// for as it stands now (whole seconds); 0 when the file is to be kept as
// first read.
std::int64_t reload_interval() {
    const char* seconds = platform::get_env("VELM_CONFIG_RELOAD");
    int interval = seconds ? common::leading_int(seconds) : 0;
    return std::int64_t{std::max(interval, 0)} * 1000;  // a negative interval is none
}

// The stamp of fileName, or an unknown one when it is not a regular file.
platform::FileStamp stamp_of(const char* fileName) {
    platform::FileStamp stamp;
    if (platform::file_stamp(fileName, stamp) != platform::FileKind::regular) return platform::FileStamp{};
    return stamp;
}

// How a file read just now follows its changes, or null when it is kept as
// first read. before is its stamp from before the reading: when the file
// changed while it was read, the stamp stays unknown and the first look reads
// it again.
std::unique_ptr<Reloading> reloading_for(const char* fileName, const platform::FileStamp& before) {
    std::int64_t interval = reload_interval();
    if (interval == 0) return nullptr;
    auto reloading = std::make_unique<Reloading>();
    reloading->interval = interval;
    reloading->nextCheck = platform::coarse_milliseconds() + interval;
    if (stamp_of(fileName) == before) reloading->stamp = before;
    return reloading;
}

// A file changed in place is written over some time, and its stamp may stand
// still between two writes: one changed within the last second may be half
// written and waits for a later look. A time further ahead than that is taken
// as it is, or a clock set back would hold the file for ever.
bool may_be_half_written(const platform::FileStamp& stamp) {
    constexpr std::int64_t kSecond = 1000000000;
    std::int64_t now = platform::now() * kSecond;  // whole seconds, cut down
    return stamp.modified > now - kSecond && stamp.modified <= now + kSecond;
}

// Says once, until the file is usable again, why it could not be read anew.
void report_unusable(Reloading& reloading, const char* fileName, const char* reason) {
    if (!reloading.failing)
        VELM_ERROR("ERROR: %s could not be read again (%s); its last good contents stay in use\n", fileName, reason);
    reloading.failing = true;
}

// The new profile of fileName when it changed since it was read, or null
// when its contents stay: unchanged, unusable (said once), or changing while
// read (the next look tries again). Reads outside any lock.
std::unique_ptr<Profile> read_if_changed(Reloading& reloading, const char* fileName) {
    platform::FileStamp before;
    platform::FileKind kind = platform::file_stamp(fileName, before);
    if (kind != platform::FileKind::regular) {
        report_unusable(reloading, fileName,
                        kind == platform::FileKind::missing ? "it does not exist" : "it is not a regular file");
        return nullptr;
    }
    if (before == reloading.stamp) {
        reloading.failing = false;
        return nullptr;
    }
    if (may_be_half_written(before)) return nullptr;
    std::unique_ptr<Profile> record;
    switch (read_lines(fileName, record)) {
        case ReadFailure::none:
            break;
        case ReadFailure::missing:
            report_unusable(reloading, fileName, "it does not exist");
            return nullptr;
        case ReadFailure::unopenable:
            report_unusable(reloading, fileName, "it could not be opened");
            return nullptr;
        case ReadFailure::readError:
            report_unusable(reloading, fileName, "reading it failed");
            return nullptr;
    }
    // Renamed over, or written to, while it was read: what was read may be
    // half of one file and half of another.
    if (!(stamp_of(fileName) == before)) return nullptr;
    reloading.stamp = before;
    reloading.failing = false;
    VELM_DEBUG("Reloaded %s %d values\n", fileName, record->line_count());
    return record;
}

// Looks at the file when its time has come and no other lookup is looking,
// and puts its new contents in place when it changed. Returns the profile
// that answers, under following's lock again. Between two looks this costs
// one read of a coarse clock.
const Profile* follow_changes(const Profile* profile, Following& following, const char* fileName, std::uint64_t hash) {
    Reloading& reloading = *following.reloading;
    std::int64_t due = reloading.nextCheck.load(std::memory_order_relaxed);
    if (platform::coarse_milliseconds() < due) return profile;
    if (!reloading.nextCheck.compare_exchange_strong(due, kChecking, std::memory_order_acquire)) return profile;
    // The turn is this lookup's: no other replaces the profile meanwhile, so
    // it stays valid without the lock, which the reading must not hold.
    following.lock.unlock();
    std::unique_ptr<Profile> fresh;
    try {
        fresh = read_if_changed(reloading, fileName);
    } catch (const std::bad_alloc&) {
        report_unusable(reloading, fileName, "not enough memory");
    }
    if (fresh) {
        profile = fresh.get();
        replace(std::move(fresh), hash);
    }
    following.lock.lock();  // before the turn passes on: the next look may replace profile
    reloading.nextCheck.store(platform::coarse_milliseconds() + reloading.interval, std::memory_order_release);
    return profile;
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
        Following following;
        const Profile* record = find_cached(fileName, hash, following);
        std::unique_ptr<Profile> fresh;
        if (record) {
            if (following.reloading) record = follow_changes(record, following, fileName, hash);
        } else {
            if (!velm::common::configuration_allows_ini()) {
                VELM_TRACE("No ini file used (config path is not defined).\n");
                return 0;
            }
            velm::platform::FileStamp before = stamp_of(fileName);
            fresh = read_profile(fileName);
            if (!fresh) return 0;
            VELM_DEBUG("Cache %s %d values\n", fileName, fresh->line_count());
            record = fresh.get();
            if (!velm::platform::get_env("VELM_DISABLE_PROPFILE_CACHE")) {
                record = publish(fresh, reloading_for(fileName, before), hash);
                // In the table, a file that follows its changes may be
                // reloaded at once: its profile is found as any lookup finds it.
                if (record != fresh.get()) record = find_cached(fileName, hash, following);
            }
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
