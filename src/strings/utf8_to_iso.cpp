// The C boundary of the UTF-8 folding: null arguments do nothing, and the
// processor's block folder is chosen once. The folding itself stays free of
// the exported interface, so that the benchmarks can time each block folder
// on its own.
#include "strings/utf8_folding.h"
#include "velm_basetool.h"

extern "C" void VELM_convert_UTF8_to_ISO(const char* in, char* out) {
    if (!in || !out) return;
    velm::strings::fold_utf8(reinterpret_cast<const unsigned char*>(in), reinterpret_cast<unsigned char*>(out),
                             velm::strings::chosen_block_folder());
}
