// Folding of two-byte UTF-8 sequences into single ISO 8859-1 bytes.
//
// The rule is byte by byte: a byte with its two top bits set, followed by a
// byte with its top bit set, becomes one byte made of the low two bits of the
// first and the low six bits of the second; every other byte is copied. Hosts
// fold large buffers in place, so the work goes by blocks: a block folder for
// the processor (kernels/) takes the bulk where one fits, and the portable
// path below passes runs of ASCII a machine word at a time. Before the first
// fold an in-place call only reads. The result is byte for byte that of the
// plain rule, and no byte is left changed that the rule would not write.
#include "strings/utf8_folding.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace velm::strings {

namespace {

using Word = std::uint64_t;

constexpr std::ptrdiff_t kWord = sizeof(Word);
constexpr std::ptrdiff_t kBlock = 4 * kWord;
constexpr Word kTopBits = 0x8080808080808080u;

Word load(const Byte* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The top bits of the 32 bytes at p, gathered in one word (zero when all of
// them are ASCII, whatever the byte order).
Word block_top_bits(const Byte* p) {
    return (load(p) | load(p + kWord) | load(p + 2 * kWord) | load(p + 3 * kWord)) & kTopBits;
}

// Whether the rule folds the pair at p; p[1] may be the terminator, whose top
// bit is clear.
bool folds_at(const Byte* p) { return (p[0] & 0xC0) == 0xC0 && (p[1] & 0x80) != 0; }

// The first byte from p with its top bit set, or end.
const Byte* first_high_byte(const Byte* p, const Byte* end) {
    while (p != end && (*p & 0x80) == 0) ++p;
    return p;
}

// The first read position of the byte-by-byte walk from p at which the rule
// folds, or end. Bytes that do not fold are passed one at a time, so the
// positions tested are exactly those the walk visits.
const Byte* first_fold(const Byte* p, const Byte* end) {
    for (;;) {
        while (end - p >= kBlock && block_top_bits(p) == 0) p += kBlock;
        while (end - p >= kWord && (load(p) & kTopBits) == 0) p += kWord;
        p = first_high_byte(p, end);
        if (p == end || folds_at(p)) return p;
        ++p;
    }
}

// Folds from read to end, a word at a time where the input is ASCII.
void fold_words(const Byte*& read, Byte*& write, const Byte* end) {
    while (end - read >= kWord) {
        Word w = load(read);
        if ((w & kTopBits) == 0) {
            // write never passes read, so in place the word stored covers
            // only input that has been read.
            std::memcpy(write, &w, sizeof w);
            read += kWord;
            write += kWord;
            continue;
        }
        const Byte* high = first_high_byte(read, end);
        while (read != high) *write++ = *read++;
        fold_step(read, write);
    }
    while (read != end) fold_step(read, write);
}

// Stands for the folder until the processor has been probed.
void not_probed(const Byte*&, Byte*&, const Byte*) {}

// The widest folder among the kernels this processor runs.
BlockFolder widest_block_folder() {
    for (BlockFolder (*offer)() :
         {kernels::avx512_block_folder, kernels::avx2_block_folder, kernels::ssse3_block_folder}) {
        if (BlockFolder folder = offer()) return folder;
    }
    return nullptr;
}

}  // namespace

void fold_step(const Byte*& read, Byte*& write) {
    if (folds_at(read)) {
        *write++ = static_cast<Byte>(((read[0] & 0x03) << 6) | (read[1] & 0x3F));
        read += 2;
    } else {
        *write++ = *read++;
    }
}

kernels::FoldPositions kernels::fold_block_bytewise(const Byte* read, Byte* write, std::ptrdiff_t size,
                                                    bool consumedFirst) {
    const Byte* blockEnd = read + size;
    read += consumedFirst;
    while (read < blockEnd) fold_step(read, write);
    return {read, write};
}

BlockFolder chosen_block_folder() {
    // The processor does not change while the process runs: probed once.
    // Threads that race to the first call store the same answer, so no lock
    // (nor the guard of a local static) is needed.
    static std::atomic<BlockFolder> chosen{not_probed};
    BlockFolder folder = chosen.load(std::memory_order_relaxed);
    if (folder == not_probed) chosen.store(folder = widest_block_folder(), std::memory_order_relaxed);
    return folder;
}

void fold_utf8(const Byte* in, Byte* out, BlockFolder folder) {
    const Byte* end = in + std::strlen(reinterpret_cast<const char*>(in));
    const Byte* read = in;
    Byte* write = out;
    if (out == in) {
        // Until the first fold every byte already stands where it belongs.
        read = first_fold(in, end);
        write = out + (read - in);
    }
    if (folder) folder(read, write, end);
    fold_words(read, write, end);
    *write = '\0';
}

}  // namespace velm::strings
