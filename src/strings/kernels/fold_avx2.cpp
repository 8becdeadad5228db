// The block folder for 32-byte blocks with AVX2 byte shuffles.
//
// It works as the SSSE3 folder does (see fold_ssse3.cpp for why every store
// lies inside the output), on blocks twice as wide. AVX2 shuffles bytes only
// within each 16-byte half of a register, so each half is packed by its own
// shuffle lanes, made from the lane table's two quarters: the second
// quarter's lanes are moved up behind the first quarter's kept bytes, so
// that a half is packed whole and stored in one 16-byte store. The store of
// the second half starts where the first half's kept bytes end and may run
// past what the block keeps: the next block's output covers it, and while two
// blocks of input remain the output has room for it (the second block gives
// at least 16 bytes). In place it reaches no further than the block's own
// input, which is held in registers.
#include <cstdint>

#include "strings/kernels/lane_table.h"
#include "strings/utf8_folding.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace velm::strings::kernels {

namespace {

// For each set of kept lanes of a quarter, its lanes as shuffle lanes of a
// 16-byte half, then zeros: first[kept] for the first quarter; second[kept]
// for the second quarter behind eight zeros, so that the 16 bytes read from
// 8 - n bytes into it hold zeros, then the lanes from position n (behind the
// n bytes the first quarter keeps), then zeros (the next row's, or the last
// row's). Or-ed together they pack the half; a lane past the kept bytes reads
// lane 0, and what it stores is overwritten.
struct HalfLanes {
    Byte first[256][8] = {};
    Byte second[257][16] = {};
    constexpr HalfLanes() {
        for (int kept = 0; kept < 256; ++kept) {
            for (int i = 0; i < kLaneTable.count[kept]; ++i) {
                first[kept][i] = kLaneTable.lanes[0][kept][i];
                second[kept][8 + i] = kLaneTable.lanes[1][kept][i];
            }
        }
    }
};

constexpr HalfLanes kHalfLanes;

// The shuffle lanes that pack a 16-byte half whose kept lanes are the low 16
// bits of kept (a bit per lane). The table offsets come from shifts and
// loads, which leave the integer units to the loop.
__attribute__((target("avx2,popcnt"))) __m128i half_lanes(std::uint32_t kept) {
    std::uint32_t first = kept & 0xFF;
    __m128i firstLanes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kHalfLanes.first[first]));
    const Byte* behind = &kHalfLanes.second[0][0] + 8 + (kept >> 4 & 0xFF0) - kLaneTable.count[first];
    return _mm_or_si128(firstLanes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(behind)));
}

// Folds blocks while two remain and every fold of a block is its own: stops
// at a block whose folds overlap (one fold's second byte leads another), which
// only the walk decides, or at the end. consumedFirst: 1 when the block's
// first byte ended the last block's fold. No call in the loop, so that its
// constants stay in registers.
__attribute__((target("avx2,popcnt"))) std::uint32_t fold_plain_blocks(const Byte*& readRef, Byte*& writeRef,
                                                                       const Byte* end, std::uint32_t consumedFirst) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    const __m256i twoTopBits = _mm256_set1_epi8(static_cast<char>(0xC0));
    const __m256i lowTwo = _mm256_set1_epi8(0x03), lowSix = _mm256_set1_epi8(0x3F);
    for (; end - read >= 2 * 32; read += 32) {
        __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(read));
        if (_mm256_movemask_epi8(bytes) == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(write), bytes);
            write += 32;
            continue;
        }
        __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(read + 1));
        // A fold lane has its lead's two top bits set and the next byte's
        // top bit: the sign of this and is that of the next byte exactly there.
        __m256i folds = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_and_si256(bytes, twoTopBits), twoTopBits), next);
        std::uint32_t foldLanes = static_cast<std::uint32_t>(_mm256_movemask_epi8(folds));
        std::uint32_t consumed = foldLanes << 1 | consumedFirst;
        if (foldLanes & consumed) break;
        __m256i folded =
            _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(bytes, lowTwo), 6), _mm256_and_si256(next, lowSix));
        std::uint32_t kept = ~consumed;
        __m256i lanes = _mm256_inserti128_si256(_mm256_castsi128_si256(half_lanes(kept)), half_lanes(kept >> 16), 1);
        __m256i packed = _mm256_shuffle_epi8(_mm256_blendv_epi8(bytes, folded, folds), lanes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(write), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(write + kLaneTable.count[kept & 0xFF] + kLaneTable.count[kept >> 8 & 0xFF]),
            _mm256_extracti128_si256(packed, 1));
        write += __builtin_popcount(kept);
        consumedFirst = foldLanes >> 31;
    }
    readRef = read;
    writeRef = write;
    return consumedFirst;
}

__attribute__((target("avx2,popcnt"))) void fold_blocks_32(const Byte*& readRef, Byte*& writeRef, const Byte* end) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    std::uint32_t consumedFirst = 0;  // 1 when the block's first byte ended the last block's fold
    for (;;) {
        consumedFirst = fold_plain_blocks(read, write, end, consumedFirst);
        if (end - read < 2 * 32) break;
        FoldPositions after = fold_block_bytewise(read, write, 32, consumedFirst != 0);
        read = after.read;
        write = after.write;
        consumedFirst = 0;
    }
    readRef = read + consumedFirst;
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
