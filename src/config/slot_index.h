// An open-addressing hash table of 32-bit ids (line offsets or header
// numbers). It keeps no keys of its own: the caller hashes, and tells an id
// apart by looking at the text the id points to, so a table of ten million
// entries costs four bytes a slot.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/keyed_hash.h"

namespace velm::config {

// The hash of texts compared byte for byte, such as file names: keyed, as
// the names come from outside.
inline std::uint64_t hash_bytes(const char* text, std::size_t length) { return common::keyed_hash(text, length); }

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
