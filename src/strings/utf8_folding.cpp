// Folding of two-byte UTF-8 sequences into single ISO 8859-1 bytes.
//
// The rule is byte by byte: a byte with its two top bits set, followed by a
// byte with its top bit set, becomes one byte made of the low two bits of the
// first and the low six bits of the second; every other byte is copied. Hosts
// fold large buffers in place, so the work goes by blocks: where the processor
// can, 64 bytes (AVX-512) or 16 bytes (SSSE3) are folded and packed at once;
// the rest goes a machine word at a time through runs of ASCII. Before the
// first fold an in-place call only reads. The result is byte for byte that of
// the plain rule, and no byte is left changed that the rule would not write.
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "velm_basetool.h"

namespace velm::strings {

namespace {

using Byte = unsigned char;
using Word = std::uint64_t;

constexpr std::ptrdiff_t kWord = sizeof(Word);
constexpr std::ptrdiff_t kBlock = 4 * kWord;
constexpr Word kTopBits = 0x8080808080808080u;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "first_high_byte counts bytes from the low end of a word");

Word load(const Byte* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

void store(Byte* p, Word w) { std::memcpy(p, &w, sizeof w); }

// The top bits of the 32 bytes at p, gathered in one word.
Word block_top_bits(const Byte* p) {
    return (load(p) | load(p + kWord) | load(p + 2 * kWord) | load(p + 3 * kWord)) & kTopBits;
}

// Index of the first byte whose top bit is set, for a nonzero word of top bits.
unsigned first_high_byte(Word topBits) {
    return static_cast<unsigned>(__builtin_ctzll(topBits)) / 8;
}

// Whether the rule folds the pair at p; p[1] may be the terminator, whose top
// bit is clear.
bool folds_at(const Byte* p) { return (p[0] & 0xC0) == 0xC0 && (p[1] & 0x80) != 0; }

// One step of the byte-by-byte rule.
inline void fold_step(const Byte*& read, Byte*& write) {
    if (folds_at(read)) {
        *write++ = static_cast<Byte>(((read[0] & 0x03) << 6) | (read[1] & 0x3F));
        read += 2;
    } else {
        *write++ = *read++;
    }
}

// The first read position of the byte-by-byte walk from p at which the rule
// folds, or end. Bytes that do not fold are passed one at a time, so the
// positions tested are exactly those the walk visits.
const Byte* first_fold(const Byte* p, const Byte* end) {
    for (;;) {
        while (end - p >= kBlock && block_top_bits(p) == 0) p += kBlock;
        if (end - p >= kWord) {
            Word topBits = load(p) & kTopBits;
            if (topBits == 0) {
                p += kWord;
                continue;
            }
            p += first_high_byte(topBits);
        } else {
            while (p != end && (*p & 0x80) == 0) ++p;
        }
        if (p == end || folds_at(p)) return p;
        ++p;
    }
}

// Writes the first count (< 8) bytes of w at p and gives the other bytes of
// the word at p their own values back: in place they may be unread input.
void store_prefix(Byte* p, Word w, unsigned count) {
    Word keep = ~Word{0} << (8 * count);
    store(p, (w & ~keep) | (load(p) & keep));
}

// Folds from read to end, a word at a time where the input is ASCII.
void fold_words(const Byte*& read, Byte*& write, const Byte* end) {
    // Whole words are touched only while 16 bytes of input remain: the output
    // then still runs at least to the end of the word at write, which thus
    // lies inside the caller's buffer. write never passes read, so a word
    // stored in place covers only input that has been read.
    while (end - read >= 2 * kWord) {
        Word w = load(read);
        Word topBits = w & kTopBits;
        if (topBits == 0) {
            store(write, w);
            read += kWord;
            write += kWord;
            continue;
        }
        unsigned ascii = first_high_byte(topBits);
        if (ascii > 0) {
            store_prefix(write, w, ascii);
            read += ascii;
            write += ascii;
        }
        fold_step(read, write);
    }
    while (read != end) fold_step(read, write);
}

#if defined(__x86_64__) || defined(__i386__)

// The block folders below take a block of input, mark the lanes where the
// rule folds (a lead byte whose next byte has its top bit set), put the
// folded byte into each such lane, drop the lanes that a fold consumed and
// store what is left. They run while two blocks of input remain and leave
// read at a position of the byte-by-byte walk. A block's output is at least
// half a block, as no two folds overlap; it is stored whole, and the unused
// tail of a store is overwritten by the next output. The remaining input of
// a block or more gives at least half a block and the terminator, so every
// store lies inside the output and no stale byte survives. In place, write
// never passes read, so a store reaches only into the current block, which is
// held in registers. A block whose first byte ended the last block's fold
// cannot pass for ASCII, as that byte has its top bit set.

// A lead byte right after a fold's lead (not UTF-8): which of the two folds
// depends on the walk, so such a block goes byte by byte.
void fold_block_bytewise(const Byte*& read, Byte*& write, std::ptrdiff_t size, bool consumedFirst) {
    const Byte* blockEnd = read + size;
    read += consumedFirst;
    while (read < blockEnd) fold_step(read, write);
}

// For each set of kept lanes of an 8-byte half (a bit per lane), the lanes in
// order for the byte shuffle, then 0x80 (which yields zero); and their count.
struct LaneTable {
    Byte lanes[2][256][8] = {};  // [half][kept lanes]: lane numbers of the half
    Byte count[256] = {};        // number of kept lanes
    constexpr LaneTable() {
        for (int half = 0; half < 2; ++half) {
            for (int kept = 0; kept < 256; ++kept) {
                int n = 0;
                for (int lane = 0; lane < 8; ++lane) {
                    if (kept >> lane & 1)
                        lanes[half][kept][n++] = static_cast<Byte>(8 * half + lane);
                }
                count[kept] = static_cast<Byte>(n);
                while (n < 8) lanes[half][kept][n++] = 0x80;
            }
        }
    }
};

constexpr LaneTable kLaneTable;

bool has_ssse3() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}

bool has_avx512_compress() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi2");
}

// 16-byte blocks; the shuffle packs each half, stored one after the other.
__attribute__((target("ssse3"))) void fold_blocks_16(const Byte*& readRef, Byte*& writeRef,
                                                     const Byte* end) {
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
            fold_block_bytewise(read, write, 16, consumedFirst);
            consumedFirst = 0;
            continue;
        }
        __m128i folded = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, lowTwo), 6),
                                      _mm_and_si128(next, lowSix));
        __m128i values = _mm_or_si128(_mm_and_si128(folds, folded), _mm_andnot_si128(folds, bytes));
        unsigned kept = ~consumed & 0xFFFF, keptLow = kept & 0xFF, keptHigh = kept >> 8;
        __m128i lanes = _mm_unpacklo_epi64(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLaneTable.lanes[0][keptLow])),
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLaneTable.lanes[1][keptHigh])));
        __m128i packed = _mm_shuffle_epi8(values, lanes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write), packed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(write + kLaneTable.count[keptLow]),
                         _mm_srli_si128(packed, 8));
        write += kLaneTable.count[keptLow] + kLaneTable.count[keptHigh];
        read += 16;
        consumedFirst = foldLanes >> 15;
    }
    readRef = read + consumedFirst;
    writeRef = write;
}

// 64-byte blocks, packed by the processor's byte compression.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) void fold_blocks_64(
    const Byte*& readRef, Byte*& writeRef, const Byte* end) {
    const Byte* read = readRef;
    Byte* write = writeRef;
    std::uint64_t consumedFirst = 0;  // as in fold_blocks_16
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
            _mm512_cmpeq_epi8_mask(_mm512_and_si512(bytes, twoTopBits), twoTopBits) &
            _mm512_movepi8_mask(next);
        std::uint64_t consumed = foldLanes << 1 | consumedFirst;
        if (foldLanes & consumed) {
            fold_block_bytewise(read, write, 64, consumedFirst != 0);
            consumedFirst = 0;
            continue;
        }
        __m512i folded = _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(bytes, lowTwo), 6),
                                         _mm512_and_si512(next, lowSix));
        __m512i values = _mm512_mask_blend_epi8(foldLanes, bytes, folded);
        _mm512_storeu_si512(write, _mm512_maskz_compress_epi8(~consumed, values));
        write += __builtin_popcountll(~consumed);
        read += 64;
        consumedFirst = foldLanes >> 63;
    }
    readRef = read + consumedFirst;
    writeRef = write;
}

// The widest block folding the processor offers, for the bulk of the input.
void fold_blocks(const Byte*& read, Byte*& write, const Byte* end) {
    if (end - read >= 2 * 64 && has_avx512_compress()) fold_blocks_64(read, write, end);
    if (end - read >= 2 * 16 && has_ssse3()) fold_blocks_16(read, write, end);
}

#else

void fold_blocks(const Byte*&, Byte*&, const Byte*) {}

#endif

void fold_utf8(const Byte* in, Byte* out) {
    const Byte* end = in + std::strlen(reinterpret_cast<const char*>(in));
    const Byte* read = in;
    Byte* write = out;
    if (out == in) {
        // Until the first fold every byte already stands where it belongs.
        read = first_fold(in, end);
        write = out + (read - in);
    }
    fold_blocks(read, write, end);
    fold_words(read, write, end);
    *write = '\0';
}

}  // namespace

}  // namespace velm::strings

extern "C" void VELM_convert_UTF8_to_ISO(const char* in, char* out) {
    if (!in || !out) return;
    velm::strings::fold_utf8(reinterpret_cast<const unsigned char*>(in),
                             reinterpret_cast<unsigned char*>(out));
}
