// The hash of names that come from outside (section names, keys, file
// names): SipHash-1-3 under a key drawn once per process from the system's
// random source. A table indexed by an unkeyed hash can be filled with names
// made to share one hash, and then every insert and lookup walks one chain;
// without the key nobody can tell in advance which names collide, so chains
// stay as short as with random names. SipHash is a pseudorandom function
// meant for exactly this, and its 1-3 variant (one round per word, three at
// the end) is the one hash tables use where its speed on short names
// matters; names here are mostly under 32 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velm::common {

// The process's hash key. Process-wide and never changed once read.
struct HashKey {
    std::uint64_t k0;
    std::uint64_t k1;
};

// Reads a key from the system's random source; when that fails, one made of
// the clock and addresses the loader chose, which still differs between runs.
HashKey read_hash_key();

// The key of this process, read at the first call.
inline const HashKey& hash_key() {
    static const HashKey key = read_hash_key();
    return key;
}

namespace siphash {

inline std::uint64_t rotate(std::uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

struct State {
    std::uint64_t v0, v1, v2, v3;

    void round() {
        v0 += v1;
        v1 = rotate(v1, 13);
        v1 ^= v0;
        v0 = rotate(v0, 32);
        v2 += v3;
        v3 = rotate(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotate(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotate(v1, 17);
        v1 ^= v2;
        v2 = rotate(v2, 32);
    }

    template <int Rounds>
    void absorb(std::uint64_t word) {
        v3 ^= word;
        for (int i = 0; i < Rounds; ++i) round();
        v0 ^= word;
    }
};

// The length % 8 bytes at the end of text as the low bytes of a word, the
// rest zero. Loads that overlap the bytes before them, rather than a loop of
// single bytes, keep the hash of a short name short.
inline std::uint64_t last_bytes(const char* text, std::size_t length) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the shifts below pick bytes by address");
    std::size_t count = length % 8;
    if (count == 0) return 0;
    if (length >= 8) {
        std::uint64_t word;
        std::memcpy(&word, text + length - 8, 8);
        return word >> (64 - 8 * count);
    }
    if (count >= 4) {
        std::uint32_t low, high;
        std::memcpy(&low, text, 4);
        std::memcpy(&high, text + count - 4, 4);
        return low | std::uint64_t{high} << (8 * (count - 4));
    }
    auto byte = [text](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * i); };
    return byte(0) | byte(count / 2) | byte(count - 1);
}

}  // namespace siphash

// SipHash-C-D of length bytes of text under key, each eight-byte word (the
// last one's bytes before the length byte is added) passed through fold
// first, so that texts a comparison takes as equal hash alike.
template <int C, int D, class Fold>
std::uint64_t sip_hash(const HashKey& key, const char* text, std::size_t length, Fold fold) {
    siphash::State s{key.k0 ^ 0x736f6d6570736575ULL, key.k1 ^ 0x646f72616e646f6dULL, key.k0 ^ 0x6c7967656e657261ULL,
                     key.k1 ^ 0x7465646279746573ULL};
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        s.absorb<C>(fold(word));
    }
    std::uint64_t tail = siphash::last_bytes(text, length);
    s.absorb<C>(fold(tail) | std::uint64_t{length} << 56);
    s.v2 ^= 0xff;
    for (int r = 0; r < D; ++r) s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

// The process's keyed hash of length bytes of text through fold.
template <class Fold>
std::uint64_t keyed_hash(const char* text, std::size_t length, Fold fold) {
    return sip_hash<1, 3>(hash_key(), text, length, fold);
}

// The process's keyed hash of texts compared byte for byte, such as file
// names.
inline std::uint64_t keyed_hash(const char* text, std::size_t length) {
    return keyed_hash(text, length, [](std::uint64_t word) { return word; });
}

}  // namespace velm::common
