// The block folder for 32-byte blocks with AVX2 byte shuffles.
//
// It works as the SSSE3 folder does (see fold_ssse3.cpp for why every store
// lies inside the output), on blocks twice as wide. AVX2 shuffles bytes only
// within each 16-byte half of a register, so a block is packed as four
// quarters of eight bytes, each by the lane table, and the quarters are
// stored one after the other.
#include <cstdint>

#include "strings/kernels/lane_table.h"
#include "strings/utf8_folding.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace velm::strings::kernels {

namespace {

// The shuffle lanes that pack the quarters of a block whose kept lanes are
// kept (a bit per lane), each quarter within its own eight bytes.
__attribute__((target("avx2"))) __m256i packing_lanes(std::uint32_t kept) {
    auto quarter = [kept](int half, int shift) {
        std::int64_t lanes;
        __builtin_memcpy(&lanes, kLaneTable.lanes[half][kept >> shift & 0xFF], 8);
        return lanes;
    };
    return _mm256_set_epi64x(quarter(1, 24), quarter(0, 16), quarter(1, 8), quarter(0, 0));
}

__attribute__((target("avx2,popcnt"))) void fold_blocks_32(const Byte*& readRef, Byte*& writeRef, const Byte* end) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    std::uint32_t consumedFirst = 0;  // 1 when the block's first byte ended the last block's fold
    const __m256i twoTopBits = _mm256_set1_epi8(static_cast<char>(0xC0));
    const __m256i lowTwo = _mm256_set1_epi8(0x03), lowSix = _mm256_set1_epi8(0x3F);
    while (end - read >= 2 * 32) {
        __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(read));
        if (_mm256_movemask_epi8(bytes) == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(write), bytes);
            read += 32;
            write += 32;
            continue;
        }
        __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(read + 1));
        // A fold lane has its lead's two top bits set and the next byte's
        // top bit: the sign of this and is that of the next byte exactly there.
        __m256i folds = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_and_si256(bytes, twoTopBits), twoTopBits), next);
        std::uint32_t foldLanes = static_cast<std::uint32_t>(_mm256_movemask_epi8(folds));
        std::uint32_t consumed = foldLanes << 1 | consumedFirst;
        if (foldLanes & consumed) {
            FoldPositions after = fold_block_bytewise(read, write, 32, consumedFirst != 0);
            read = after.read;
            write = after.write;
            consumedFirst = 0;
            continue;
        }
        __m256i folded =
            _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(bytes, lowTwo), 6), _mm256_and_si256(next, lowSix));
        __m256i packed = _mm256_shuffle_epi8(_mm256_blendv_epi8(bytes, folded, folds), packing_lanes(~consumed));
        std::uint32_t kept = ~consumed;
        // Where each quarter's bytes go: the kept lanes before it.
        int second = __builtin_popcount(kept & 0xFF), third = __builtin_popcount(kept & 0xFFFF);
        int fourth = __builtin_popcount(kept & 0xFFFFFF);
        __m128i low = _mm256_castsi256_si128(packed), high = _mm256_extracti128_si256(packed, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write), low);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write + second), _mm_unpackhi_epi64(low, low));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write + third), high);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write + fourth), _mm_unpackhi_epi64(high, high));
        write += __builtin_popcount(kept);
        consumedFirst = foldLanes >> 31;
        read += 32;
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
