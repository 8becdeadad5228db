// How the INI reader cuts a file into the lines it offers to a profile: the
// pieces that std::fgets into a buffer of 1024 bytes would yield. The reader
// and the tool that shows a file's lines share it, so both read alike.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace velm::config {

// A longer line arrives in pieces of this many characters, each a line of its own.
constexpr std::size_t kPieceLength = 1023;

// Passes each piece of file to take(piece, length, endsLine): through its
// line feed or kPieceLength characters, seen as a C string (length up to a
// NUL); endsLine when the piece holds its line's feed or ends the file.
// False when reading fails.
template <class Take>
bool read_pieces(std::FILE* file, Take take) {
    std::vector<char> buffer(1 << 16);
    std::size_t begin = 0, end = 0;
    bool atEnd = false;
    for (;;) {
        if (!atEnd && end - begin < kPieceLength) {
            std::memmove(buffer.data(), buffer.data() + begin, end - begin);
            end -= begin;
            begin = 0;
            end += std::fread(buffer.data() + end, 1, buffer.size() - end, file);
            if (std::ferror(file)) return false;
            atEnd = std::feof(file) != 0;
        }
        if (begin == end) return true;
        const char* piece = buffer.data() + begin;
        std::size_t length = std::min(end - begin, kPieceLength);
        const void* feed = std::memchr(piece, '\n', length);
        if (feed) length = static_cast<const char*>(feed) - piece + 1;
        const void* nul = std::memchr(piece, '\0', length);
        bool endsLine = feed || (atEnd && begin + length == end);
        take(piece, nul ? static_cast<const char*>(nul) - piece : length, endsLine);
        begin += length;
    }
}

}  // namespace velm::config
