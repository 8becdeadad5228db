// Standard output as an output of the log (see log_output.h): the echo of
// the session file's lines.
#pragma once

#include "log/log_output.h"

namespace velm::log {

struct StdoutOutput {
    // Whether the entry is echoed: its level reaches the standard-output
    // level, and a version-information line only when printVerInfoStdOut
    // is exactly 1.
    static bool accept(const LogEntry& entry);
    // Echoes the line in one write.
    static void write(const LogEntry& entry);
};

// Lowers the standard-output level to 1, for a log without its file: from
// then on standard output shows every message of level 1 and up. Under
// writerLock.
void show_everything_on_stdout();

}  // namespace velm::log
