// The one case-blind rule of the library's names (sections and keys): ASCII
// capitals compare as their small letters, every other byte, those of 128
// and up too, exactly, whatever the locale. The fold of a byte, of eight
// bytes at once, the comparison and the hash that agrees with it stand here
// side by side, so that a comparison and its hash cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/keyed_hash.h"

namespace velm::common {

// c with an ASCII capital turned into its small letter; other bytes as they are.
inline unsigned char fold_ascii(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// Eight bytes, each as fold_ascii leaves it.
inline std::uint64_t folded_word(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    // Seven bits of a byte plus these carry into its high bit exactly when
    // they are at least 'A', or more than 'Z'; no sum reaches the next byte.
    std::uint64_t low = word & ~highs;
    std::uint64_t atLeastA = low + (0x80 - 'A') * ones, aboveZ = low + (0x80 - 'Z' - 1) * ones;
    std::uint64_t capitals = atLeastA & ~aboveZ & ~word & highs;
    return word | (capitals >> 2);
}

// Whether the length bytes of stored and of wanted are equal once folded;
// wanted holds no NUL among them, so a shorter stored text differs at its
// NUL. An exact match, the usual case, takes one memcmp.
inline bool same_folded(const char* stored, const char* wanted, std::size_t length) {
    if (std::memcmp(stored, wanted, length) == 0) return true;
    for (std::size_t i = 0; i < length; ++i) {
        if (fold_ascii(stored[i]) != fold_ascii(wanted[i])) return false;
    }
    return true;
}

// The process's keyed hash of length bytes of text as folded: texts that
// same_folded takes as equal hash alike.
inline std::uint64_t folded_hash(const char* text, std::size_t length) {
    return keyed_hash(text, length, [](std::uint64_t word) { return folded_word(word); });
}

}  // namespace velm::common
