// The block folder for 32-byte blocks with AVX2 byte shuffles.
//
// It works as the SSSE3 folder does (see fold_ssse3.cpp for why every store
// lies inside the output), on blocks twice as wide, but packs a block in two
// steps so that the table lookups stay few. As no two folds of a block
// overlap, each 2-byte unit of it loses at most one byte: first every unit
// that loses one is made a 1-byte unit in place (a unit whose first byte ended
// a fold keeps its second byte, moved down), then each 16-byte half packs its
// eight units with one shuffle looked up by the set of its whole units. AVX2
// shuffles bytes only within each half, so the halves are stored one after the
// other; the second store may run past what the block keeps: the next block's
// output covers it, and while two blocks of input remain the output has room
// for it (the second block gives at least 16 bytes). In place it reaches no
// further than the block's own input, which is held in registers.
#include <cstdint>

#include "strings/utf8_folding.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace velm::strings::kernels {

namespace {

// For each set of whole units of a 16-byte half (a bit per 2-byte unit), the
// shuffle lanes that pack the half: both bytes of a whole unit, the first byte
// of a short one, then lane 0 up to the end (what it stores is overwritten).
struct alignas(16) UnitLanes {
    Byte lanes[256][16] = {};
    constexpr UnitLanes() {
        for (int wholeUnits = 0; wholeUnits < 256; ++wholeUnits) {
            int n = 0;
            for (int unit = 0; unit < 8; ++unit) {
                lanes[wholeUnits][n++] = static_cast<Byte>(2 * unit);
                if (wholeUnits >> unit & 1) lanes[wholeUnits][n++] = static_cast<Byte>(2 * unit + 1);
            }
        }
    }
};

constexpr UnitLanes kUnitLanes;

#define VELM_AVX2 __attribute__((target("avx2,popcnt"), always_inline)) inline

// The constants of the loop, loaded once.
struct Constants {
    __m256i zero, twoTopBits, lowTwo, lowSix;
    // Picks each unit's second byte (either does: both are equal) into bytes
    // 4 to 11 of its half.
    __m256i wholeUnitBytes;
    __attribute__((target("avx2"), always_inline)) Constants()
        : zero(_mm256_setzero_si256()),
          twoTopBits(_mm256_set1_epi8(static_cast<char>(0xC0))),
          lowTwo(_mm256_set1_epi8(0x03)),
          lowSix(_mm256_set1_epi8(0x3F)),
          wholeUnitBytes(_mm256_setr_epi8(-1, -1, -1, -1, 1, 3, 5, 7, 9, 11, 13, 15, -1, -1, -1, -1, -1, -1, -1, -1, 1,
                                          3, 5, 7, 9, 11, 13, 15, -1, -1, -1, -1)) {
        // Hidden from the compiler: knowing it is zero, GCC would turn the
        // blend in fold_lanes back into a compare and an and, one operation
        // more a block.
        asm("" : "+x"(zero));
    }
};

// A block's lanes that lead a fold: a lead byte whose next byte has its top
// bit set. The blend takes the lead lanes where the next byte's top bit is
// set, which is that test in one operation.
VELM_AVX2 __m256i fold_lanes(const Constants& c, __m256i bytes, __m256i next) {
    __m256i leads = _mm256_cmpeq_epi8(_mm256_and_si256(bytes, c.twoTopBits), c.twoTopBits);
    return _mm256_blendv_epi8(c.zero, leads, next);
}

// The lanes a fold consumed: the fold lanes moved up one, the last lane of
// the block before in front.
VELM_AVX2 __m256i consumed_lanes(__m256i folds, __m256i foldsBefore) {
    return _mm256_alignr_epi8(folds, _mm256_permute2x128_si256(folds, foldsBefore, 0x03), 15);
}

// Stores the folded block at write and returns the position after it.
VELM_AVX2 Byte* store_folded(const Constants& c, __m256i bytes, __m256i next, __m256i folds, __m256i consumed,
                             Byte* write) {
    __m256i folded =
        _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(bytes, c.lowTwo), 6), _mm256_and_si256(next, c.lowSix));
    __m256i values = _mm256_blendv_epi8(bytes, folded, folds);
    // A unit whose first byte was consumed keeps its second byte, moved
    // down; a unit whose second byte was consumed keeps its first.
    __m256i units = _mm256_blendv_epi8(values, _mm256_srli_epi16(values, 8), consumed);
    // The whole units' bits from bit 4 of each half's 16 bits: the offsets of
    // the halves' rows in the table.
    __m256i wholeUnits = _mm256_shuffle_epi8(_mm256_cmpeq_epi16(consumed, c.zero), c.wholeUnitBytes);
    auto rows = static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(wholeUnits)));
    std::uint64_t firstRow = rows & 0xFFFF, secondRow = rows >> 16;
    const auto* table = reinterpret_cast<const Byte*>(&kUnitLanes);
    // Each half packed on its own: a 16-byte shuffle takes its lanes straight
    // from the table, and each half is stored from its own register.
    __m128i first = _mm_shuffle_epi8(_mm256_castsi256_si128(units),
                                     _mm_load_si128(reinterpret_cast<const __m128i*>(table + firstRow)));
    __m128i second = _mm_shuffle_epi8(_mm256_extracti128_si256(units, 1),
                                      _mm_load_si128(reinterpret_cast<const __m128i*>(table + secondRow)));
    // A half keeps 8 bytes and one more for each whole unit.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(write), first);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(write + 8 + __builtin_popcountll(firstRow)), second);
    return write + 16 + __builtin_popcountll(rows);
}

VELM_AVX2 __m256i load(const Byte* at) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)); }

// Folds the block at read, whose bytes are loaded, when its folds are all its
// own: stores it at write, advances write and gives the block's fold lanes.
// foldsBefore are the block before's (only their last lane counts). False,
// with nothing stored, when two of its folds overlap; consumed then tells
// whether the block before's last fold took this block's first byte (lane 0).
VELM_AVX2 bool fold_block(const Constants& c, __m256i bytes, __m256i foldsBefore, const Byte* read, Byte*& write,
                          __m256i& folds, __m256i& consumed) {
    __m256i next = load(read + 1);
    folds = fold_lanes(c, bytes, next);
    consumed = consumed_lanes(folds, foldsBefore);
    if (!_mm256_testz_si256(folds, consumed)) return false;
    write = store_folded(c, bytes, next, folds, consumed, write);
    return true;
}

// Hands the positions back to the caller, and whether the byte at read was
// consumed by the fold before it.
VELM_AVX2 bool stop_at(const Byte* read, Byte* write, bool consumedFirst, const Byte*& readRef, Byte*& writeRef) {
    readRef = read;
    writeRef = write;
    return consumedFirst;
}

// Whether the first or the last lane of a mask is set.
VELM_AVX2 bool first_lane_set(__m256i lanes) { return (_mm256_movemask_epi8(lanes) & 1) != 0; }
VELM_AVX2 bool last_lane_set(__m256i lanes) { return _mm256_movemask_epi8(lanes) < 0; }

// Folds blocks while two remain and every fold of a block is its own: stops
// at a block whose folds overlap (one fold's second byte leads another), which
// only the walk decides, or at the end. It starts where no fold is pending:
// at the start, or where the walk left a block, past any byte that the
// block's last fold consumed. No call in the loop, so that its constants
// stay in registers. Runs of ASCII blocks and runs of blocks with
// folds have loops of their own: the fold loop then carries only its own
// fold lanes, and a block that changes the kind costs one branch.
__attribute__((target("avx2,popcnt"))) bool fold_plain_blocks(const Byte*& readRef, Byte*& writeRef, const Byte* end) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    const Constants c;
    // The last block's fold lanes; only its last lane is read, and it is set
    // exactly when that block's last fold consumes this block's first byte.
    __m256i lastFolds = c.zero;
    // Each block needs the next one's first byte, and its second store may
    // reach into the next block's output: the last block is left to the
    // caller. Counted rather than compared with end: the loop's own
    // bookkeeping is a good part of a block's instructions.
    std::ptrdiff_t blocks = (end - read) / 32 - 1;
    // Whether the last block's last fold takes the byte after it: set where
    // the blocks run out, from the fold lanes (in place, the stores may
    // already have covered that block's last byte in memory).
    bool consumedFirst = false;
    while (blocks > 0) {
        __m256i bytes = load(read);
        if (_mm256_movemask_epi8(bytes) == 0) {
            // A run of ASCII blocks, stored as they stand.
            do {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(write), bytes);
                read += 32;
                write += 32;
            } while (--blocks > 0 && _mm256_movemask_epi8(bytes = load(read)) == 0);
            lastFolds = c.zero;
            continue;
        }
        // A run of blocks with high bytes, two blocks a round: the fold lanes
        // of the two change roles instead of being copied, and the test for an
        // ASCII block comes once a round (an ASCII block folds as it stands).
        // Each exit takes the one bit it needs from the lanes at hand, so that
        // no fold lanes are kept aside for the exits.
        for (;;) {
            __m256i folds, consumed;
            if (!fold_block(c, bytes, lastFolds, read, write, folds, consumed))
                return stop_at(read, write, first_lane_set(consumed), readRef, writeRef);
            if (blocks == 1) {
                consumedFirst = last_lane_set(folds);
                read += 32;
                blocks = 0;
                break;
            }
            bytes = load(read + 32);
            if (!fold_block(c, bytes, folds, read + 32, write, lastFolds, consumed))
                return stop_at(read + 32, write, first_lane_set(consumed), readRef, writeRef);
            read += 64;
            blocks -= 2;
            if (blocks == 0) {
                consumedFirst = last_lane_set(lastFolds);
                break;
            }
            bytes = load(read);
            if (_mm256_movemask_epi8(bytes) == 0) break;
        }
    }
    return stop_at(read, write, consumedFirst, readRef, writeRef);
}

#undef VELM_AVX2

__attribute__((target("avx2,popcnt"))) void fold_blocks_32(const Byte*& readRef, Byte*& writeRef, const Byte* end) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    bool consumedFirst;  // whether the block's first byte ended the last block's fold
    for (;;) {
        consumedFirst = fold_plain_blocks(read, write, end);
        if (end - read < 2 * 32) break;
        FoldPositions after = fold_block_bytewise(read, write, 32, consumedFirst);
        read = after.read;
        write = after.write;
    }
    readRef = consumedFirst ? read + 1 : read;
    writeRef = write;
}

}  // namespace

BlockFolder avx2_block_folder() {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("popcnt")) return nullptr;
    return fold_blocks_32;
}

}  // namespace velm::strings::kernels

#else

velm::strings::BlockFolder velm::strings::kernels::avx2_block_folder() { return nullptr; }

#endif
