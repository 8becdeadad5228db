// What velmtool sees of the library beyond its exported interface. The tool
// includes this header and the public ones only, so the rooms behind it can
// change without the tool noticing.
#pragma once

#include <cstddef>
#include <functional>

#include "config/line_verdict.h"

namespace velm::tool_access {

// Whether a configuration variable lets the library read INI files at all.
bool ini_reading_allowed();

// Closes the session log file, if one is open, and returns its path (null
// when none was open). Later messages are shown on standard output only.
const char* close_session_log();

// One piece of an INI file as the reader takes it, and what became of it.
struct IniPiece {
    const char* text;       // the piece as read, up to a NUL in it
    std::size_t length;     // of the line after trimming its end
    std::size_t keyLength;  // characters before the first '=', or npos
    config::LineVerdict verdict;
    bool endsLine;  // holds its line's feed or ends the file
};

// Reads the file at path as the INI reader does (opened the same way, in
// the same pieces, each judged by the same rule in the order read) and calls
// take with each piece. False when the file cannot be opened or read.
bool walk_ini_file(const char* path, const std::function<void(const IniPiece&)>& take);

}  // namespace velm::tool_access
