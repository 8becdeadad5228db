#include "common/keyed_hash.h"

#include <chrono>

#include "platform/platform.h"

namespace velm::common {

HashKey read_hash_key() {
    HashKey key{};
    if (platform::random_bytes(&key, sizeof key)) return key;
    // Without the random source, something an attacker cannot read from
    // outside beats a key known to all: the clock's nanoseconds and where
    // the loader put the stack and this function.
    int onStack = 0;
    auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    key.k0 = ticks ^ reinterpret_cast<std::uintptr_t>(&onStack);
    key.k1 = static_cast<std::uint64_t>(platform::now()) ^ reinterpret_cast<std::uintptr_t>(&read_hash_key) ^
             static_cast<std::uint64_t>(platform::process_id()) << 32;
    return key;
}

}  // namespace velm::common
