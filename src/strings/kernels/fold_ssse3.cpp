// The block folder for 16-byte blocks with SSSE3 byte shuffles.
//
// A block's folds are marked at once (a lead byte whose next byte has its top
// bit set), each such lane gets its folded byte, the lanes a fold consumed
// are dropped and what is left is stored. It runs while two blocks of input
// remain: a block's output is at least half a block, as no two folds overlap,
// and is stored whole, the unused tail overwritten by the next output; the
// remaining input then still gives at least half a block and the terminator,
// so every store lies inside the output and no stale byte survives. In place,
// write never passes read, so a store reaches only into the current block,
// which is held in registers. A block whose first byte ended the last block's
// fold cannot pass for ASCII, as that byte has its top bit set.
#include "strings/utf8_folding.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace velm::strings::kernels {

namespace {

// For each set of kept lanes of an 8-byte quarter of a 16-byte shuffle (a bit
// per lane), the lanes in order for the byte shuffle, then 0x80 (which yields
// zero); and their count. Half 0 names lanes 0 to 7, half 1 lanes 8 to 15.
struct LaneTable {
    Byte lanes[2][256][8] = {};  // [half][kept lanes]: lane numbers of the half
    Byte count[256] = {};        // number of kept lanes
    constexpr LaneTable() {
        for (int half = 0; half < 2; ++half) {
            for (int kept = 0; kept < 256; ++kept) {
                int n = 0;
                for (int lane = 0; lane < 8; ++lane) {
                    if (kept >> lane & 1) lanes[half][kept][n++] = static_cast<Byte>(8 * half + lane);
                }
                count[kept] = static_cast<Byte>(n);
                while (n < 8) lanes[half][kept][n++] = 0x80;
            }
        }
    }
};

constexpr LaneTable kLaneTable;

// The shuffle packs each half of a block; the halves are stored one after
// the other.
__attribute__((target("ssse3"))) void fold_blocks_16(const Byte*& readRef, Byte*& writeRef, const Byte* end) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    unsigned consumedFirst = 0;  // 1 when the block's first byte ended the last block's fold
    const __m128i twoTopBits = _mm_set1_epi8(static_cast<char>(0xC0));
    const __m128i lowTwo = _mm_set1_epi8(0x03), lowSix = _mm_set1_epi8(0x3F);
    while (end - read >= 2 * 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(read));
        if (_mm_movemask_epi8(bytes) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(write), bytes);
            read += 16;
            write += 16;
            continue;
        }
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(read + 1));
        __m128i folds = _mm_and_si128(_mm_cmpeq_epi8(_mm_and_si128(bytes, twoTopBits), twoTopBits),
                                      _mm_cmplt_epi8(next, _mm_setzero_si128()));
        unsigned foldLanes = static_cast<unsigned>(_mm_movemask_epi8(folds));
        unsigned consumed = foldLanes << 1 | consumedFirst;
        if (foldLanes & consumed) {
            FoldPositions after = fold_block_bytewise(read, write, 16, consumedFirst);
            read = after.read;
            write = after.write;
            consumedFirst = 0;
            continue;
        }
        __m128i folded = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, lowTwo), 6), _mm_and_si128(next, lowSix));
        __m128i values = _mm_or_si128(_mm_and_si128(folds, folded), _mm_andnot_si128(folds, bytes));
        unsigned kept = ~consumed & 0xFFFF, keptLow = kept & 0xFF, keptHigh = kept >> 8;
        __m128i lanes =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLaneTable.lanes[0][keptLow])),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLaneTable.lanes[1][keptHigh])));
        __m128i packed = _mm_shuffle_epi8(values, lanes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write), packed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write + kLaneTable.count[keptLow]), _mm_srli_si128(packed, 8));
        consumedFirst = foldLanes >> 15;
        read += 16;
        write += kLaneTable.count[keptLow] + kLaneTable.count[keptHigh];
    }
    readRef = read + consumedFirst, writeRef = write;
}

}  // namespace

BlockFolder ssse3_block_folder() {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("ssse3")) return nullptr;
    return fold_blocks_16;
}

}  // namespace velm::strings::kernels

#else

velm::strings::BlockFolder velm::strings::kernels::ssse3_block_folder() { return nullptr; }

#endif
