// The folding of two-byte UTF-8 sequences into ISO 8859-1 bytes, with the
// block folders that process the bulk of long inputs where the processor can.
#pragma once

#include <cstddef>

namespace velm::strings {

using Byte = unsigned char;

// Folds whole blocks of input from read while at least two blocks remain and
// leaves read at a position the byte-by-byte walk visits, write after what it
// wrote. Its output is byte for byte that of fold_step repeated.
using BlockFolder = void (*)(const Byte*& read, Byte*& write, const Byte* end);

// One step of the folding rule at read: a byte with its two top bits set
// followed by a byte with its top bit set becomes one byte; any other byte is
// copied. Advances both positions.
void fold_step(const Byte*& read, Byte*& write);

// Folds the NUL-terminated in into out (which may be in itself), the bulk
// through folder, or through the portable path alone when folder is null.
void fold_utf8(const Byte* in, Byte* out, BlockFolder folder);

// The widest block folder this processor runs, chosen at the first call;
// null where none fits.
BlockFolder chosen_block_folder();

namespace kernels {

// Each gives its block folder when this build and processor can run it, else
// null.
BlockFolder avx512_block_folder();
BlockFolder avx2_block_folder();
BlockFolder ssse3_block_folder();

// Read and write positions, returned by value so that a block folder's own
// stay in registers.
struct FoldPositions {
    const Byte* read;
    Byte* write;
};

// Folds the size bytes of a block from read one step at a time, the first one
// skipped when the last block's fold consumed it: the way out for blocks
// whose folds depend on the walk. Returns the positions after it.
FoldPositions fold_block_bytewise(const Byte* read, Byte* write, std::ptrdiff_t size, bool consumedFirst);

}  // namespace kernels

}  // namespace velm::strings
