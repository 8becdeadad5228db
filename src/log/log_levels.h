// The level rules and the drop test: which messages the log shows at all.
#pragma once

#include "log/log_state.h"

namespace velm::log {

// Whether a message of this level reaches no output. Checked by the entry
// points before they gather their arguments, so a dropped message costs two
// comparisons once the log is initialised.
inline bool drops(int level) {
    int fileLevel = peek(logState.logLevel);
    return fileLevel != -3 && fileLevel > level && peek(logState.logLevelStdOut) > level;
}

inline int at_least_one(int level) { return level < 1 ? 1 : level; }
inline int lesser(int a, int b) { return a < b ? a : b; }

// The level rules: a level below 1 becomes 1; the standard-output and syslog
// levels pull the file level down to their own. Callers hold writerLock.
void set_level(int level);
void set_level_stdout(int level);
void set_level_syslog(int level);

}  // namespace velm::log
