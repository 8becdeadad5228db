// The mark of the functions every accepted log line runs through.
#pragma once

// The compiler places the functions so marked next to each other, so that a
// line reaches few pages of code: the write(2) of each line may leave the
// processor's cache of page translations empty (as a kernel that isolates its
// page tables does), and every page the next line touches then costs a walk
// of the page tables. On Linux the linker puts them right after the PLT
// (src/hot_text.ld).
#define VELM_HOT_PATH [[gnu::hot]]
