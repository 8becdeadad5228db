// The block folder for 64-byte blocks with the AVX-512 byte compression.
//
// It works as the SSSE3 folder does (see fold_ssse3.cpp for why every store
// lies inside the output), on blocks four times as wide, and lets the
// processor drop the consumed lanes instead of a shuffle table.
#include <cstdint>

#include "strings/utf8_folding.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace velm::strings::kernels {

namespace {

__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) void fold_blocks_64(const Byte*& readRef,
                                                                                   Byte*& writeRef, const Byte* end) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    std::uint64_t consumedFirst = 0;  // 1 when the block's first byte ended the last block's fold
    const __m512i twoTopBits = _mm512_set1_epi8(static_cast<char>(0xC0));
    const __m512i lowTwo = _mm512_set1_epi8(0x03), lowSix = _mm512_set1_epi8(0x3F);
    while (end - read >= 2 * 64) {
        __m512i bytes = _mm512_loadu_si512(read);
        if (_mm512_movepi8_mask(bytes) == 0) {
            _mm512_storeu_si512(write, bytes);
            read += 64;
            write += 64;
            continue;
        }
        __m512i next = _mm512_loadu_si512(read + 1);
        std::uint64_t foldLanes =
            _mm512_cmpeq_epi8_mask(_mm512_and_si512(bytes, twoTopBits), twoTopBits) & _mm512_movepi8_mask(next);
        std::uint64_t consumed = foldLanes << 1 | consumedFirst;
        if (foldLanes & consumed) {
            FoldPositions after = fold_block_bytewise(read, write, 64, consumedFirst != 0);
            read = after.read;
            write = after.write;
            consumedFirst = 0;
            continue;
        }
        __m512i folded =
            _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(bytes, lowTwo), 6), _mm512_and_si512(next, lowSix));
        __m512i values = _mm512_mask_blend_epi8(foldLanes, bytes, folded);
        _mm512_storeu_si512(write, _mm512_maskz_compress_epi8(~consumed, values));
        write += __builtin_popcountll(~consumed);
        read += 64;
        consumedFirst = foldLanes >> 63;
    }
    readRef = read + consumedFirst;
    writeRef = write;
}

}  // namespace

BlockFolder avx512_block_folder() {
    __builtin_cpu_init();
    bool runs = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                __builtin_cpu_supports("avx512vbmi2");
    return runs ? fold_blocks_64 : nullptr;
}

}  // namespace velm::strings::kernels

#else

velm::strings::BlockFolder velm::strings::kernels::avx512_block_folder() { return nullptr; }

#endif
