// The table the shuffle-based block folders pack a block's kept bytes with.
#pragma once

#include "strings/utf8_folding.h"

namespace velm::strings::kernels {

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

inline constexpr LaneTable kLaneTable;

}  // namespace velm::strings::kernels
