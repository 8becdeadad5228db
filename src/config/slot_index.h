// An open-addressing hash table of 32-bit ids (line offsets or header
// numbers). It keeps no keys of its own: the caller hashes, and tells an id
// apart by looking at the text the id points to, so a table of ten million
// entries costs four bytes a slot.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velm::config {

// Eight bytes with the ASCII capitals among them made small, as a case-blind
// comparison sees them; every other byte, those of 128 and up too, stays.
inline std::uint64_t folded_word(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    // Seven bits of a byte plus these carry into its high bit exactly when
    // they are at least 'A', or more than 'Z'; no sum reaches the next byte.
    std::uint64_t low = word & ~highs;
    std::uint64_t atLeastA = low + (0x80 - 'A') * ones, aboveZ = low + (0x80 - 'Z' - 1) * ones;
    std::uint64_t capitals = atLeastA & ~aboveZ & ~word & highs;
    return word | (capitals >> 2);
}

// A hash of length bytes of text taken eight at a time, each word passed
// through fold first: keys and names are hashed on every lookup.
template <class Fold>
std::uint64_t hash_words(const char* text, std::size_t length, Fold fold) {
    std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ length;
    auto mix = [&hash](std::uint64_t word) {
        hash = (hash ^ word) * 0xff51afd7ed558ccdULL;
        hash ^= hash >> 32;
    };
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        mix(fold(word));
    }
    // The last bytes go in one by one: a copy of a varying length would
    // cost a call.
    std::uint64_t tail = 0;
    for (std::size_t shift = 0; i < length; ++i, shift += 8)
        tail |= std::uint64_t{static_cast<unsigned char>(text[i])} << shift;
    mix(fold(tail));
    hash *= 0xc4ceb9fe1a85ec53ULL;
    return hash ^ (hash >> 29);
}

// The hash of texts compared byte for byte, such as file names.
inline std::uint64_t hash_bytes(const char* text, std::size_t length) {
    return hash_words(text, length, [](std::uint64_t word) { return word; });
}

// Makes room in items for extra more, doubling, so that many small additions
// cost linear time. May throw bad_alloc, and then items is unchanged.
template <class Items>
void make_room(Items& items, std::size_t extra) {
    std::size_t wanted = items.size() + extra;
    if (wanted > items.capacity()) items.reserve(std::max(wanted, 2 * items.capacity()));
}

class SlotIndex {
  public:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    // The first id on hash's probe path that matches accepts, or kEmpty.
    template <class Matches>
    std::uint32_t find(std::uint64_t hash, Matches matches) const {
        if (slots_.empty()) return kEmpty;
        for (std::size_t i = hash & mask();; i = (i + 1) & mask()) {
            std::uint32_t id = slots_[i];
            if (id == kEmpty || matches(id)) return id;
        }
    }

    // Makes room for extra more ids, so that the inserts that follow cannot
    // fail; hashOf gives an id's hash again. May throw bad_alloc.
    template <class HashOf>
    void reserve(std::size_t extra, HashOf hashOf) {
        std::size_t wanted = count_ + extra;
        std::size_t capacity = slots_.empty() ? 16 : slots_.size();
        while (wanted > capacity / 4 * 3) capacity *= 2;
        if (capacity == slots_.size()) return;
        std::vector<std::uint32_t> old(capacity, kEmpty);
        old.swap(slots_);
        for (std::uint32_t id : old)
            if (id != kEmpty) place(hashOf(id), id);
    }

    // Adds id; room must have been reserved.
    void insert(std::uint64_t hash, std::uint32_t id) {
        place(hash, id);
        ++count_;
    }

  private:
    std::size_t mask() const { return slots_.size() - 1; }

    void place(std::uint64_t hash, std::uint32_t id) {
        std::size_t i = hash & mask();
        while (slots_[i] != kEmpty) i = (i + 1) & mask();
        slots_[i] = id;
    }

    std::vector<std::uint32_t> slots_;  // kEmpty or an id; a power of two long
    std::size_t count_ = 0;             // ids held
};

}  // namespace velm::config
