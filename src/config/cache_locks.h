// The reader-writer locks of the configuration caches. Lookups share them;
// writers hold them only to publish a file or append a section, never while
// reading a file or logging, so a lookup never waits long and the log (which
// a host may hook) is never called with a lock held.
#pragma once

#include <shared_mutex>

namespace velm::config {

struct CacheLocks {
    std::shared_mutex files;        // the table of cached files
    std::shared_mutex preferences;  // the preference cache and its lines
};

// The locks, made at the first call (never by a static constructor). A fork
// waits until no other thread holds them, and the child finds them free.
CacheLocks& cache_locks();

}  // namespace velm::config
