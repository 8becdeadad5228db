// The session log file as an output of the log (see log_output.h): one file
// per process, opened by the first message that passes the levels.
#pragma once

#include <cstddef>

#include "log/log_output.h"

namespace velm::log {

struct SessionFileOutput {
    // Writes the entry to the file when its level reaches the file level and
    // a file is open; a line that could not be built is counted as lost. All
    // under writerLock: nothing is left for later.
    static void accept(const LogEntry& entry);
};

// Whether a message of this level reaches the file level while no file is
// open (its opening failed, or it was closed).
bool finds_no_session_file(int level);

// The one opening of the process, under writerLock: builds the path from the
// log directory, the names and the process id, keeps it as logFilePath and
// opens it. Returns false, with the reason written into reason, when there is
// no file; the caller reports that and writes the header.
bool open_session_file(char* reason, std::size_t reasonSize);

// After the header of a newly opened session file, under writerLock: counts
// the header as the part no roll-over leaves alone, and removes the old
// session files of the log folder that the retention settings let go, each
// reported at the debug level.
void finish_session_file_opening();

// Closes the session log file, if one is open, and returns its path (null
// when none was open). Later messages are shown on standard output only; for
// a tool that removes its own file at the end of a run.
const char* close_session_file();

}  // namespace velm::log
