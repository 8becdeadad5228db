#include "config/cache_locks.h"

#include <new>

#include "platform/platform.h"

namespace velm::config {

namespace {

void lock_before_fork() {
    cache_locks().files.lock();
    cache_locks().preferences.lock();
}

void unlock_after_fork() {
    cache_locks().preferences.unlock();
    cache_locks().files.unlock();
}

// The child's one thread is not the thread that took the locks (its id
// differs), so it may not unlock them; it makes them anew instead. The data
// they guard is whole: no writer was inside when the fork happened.
void renew_in_child() {
    new (&cache_locks().files) std::shared_mutex;
    new (&cache_locks().preferences) std::shared_mutex;
}

struct ForkSafeLocks {
    CacheLocks locks;
    ForkSafeLocks() { platform::on_fork(lock_before_fork, unlock_after_fork, renew_in_child); }
};

}  // namespace

CacheLocks& cache_locks() {
    static ForkSafeLocks instance;
    return instance.locks;
}

// The locks are made when the library is loaded as well as at their first
// use: a fork can then never meet another thread in the middle of making
// them, which would leave the child waiting for ever. Making them takes no
// lock.
namespace {
[[maybe_unused]] const CacheLocks& locksAtLoad = cache_locks();
}  // namespace

}  // namespace velm::config
