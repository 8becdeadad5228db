// What the library's INI reader keeps of a file, line by line, and why it
// ignores the rest.
#pragma once

#include <cstdio>

namespace velmtool {

// Reads the file at path as the library does and prints one line per piece
// read into out, then a summary. Returns false when the file cannot be read.
bool dump_ini_file(const char* path, std::FILE* out);

}  // namespace velmtool
