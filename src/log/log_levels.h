// The level rules and the drop test: which messages the log shows at all.
#pragma once

#include "log/log_state.h"

namespace velm::log {

// The level of the version-information lines (the session file's header).
constexpr int kVersionInfoLevel = 7;

inline int at_least_one(int level) { return level < 1 ? 1 : level; }
inline int lesser(int a, int b) { return a < b ? a : b; }

// Whether a message of this level reaches no output. Checked by the entry
// points before they gather their arguments, so a dropped message costs two
// comparisons once the log is initialised: the file level, and the least of
// the others.
inline bool drops(int level) {
    int fileLevel = peek(logState.logLevel);
    return fileLevel != -3 && fileLevel > level && peek(logState.leastOtherLevel) > level;
}

// Whether a message of this level reaches the session file or standard
// output, which a message for the system log alone does not.
inline bool reaches_file_or_stdout(int level) {
    return peek(logState.logLevel) <= level || peek(logState.logLevelStdOut) <= level;
}

// The syslog level as the system log applies it: never set (-3) counts as
// the default 4, also after an early VELM_SetLogLevel.
inline int syslog_level() {
    int level = peek(logState.logLevelSyslog);
    return level == -3 ? 4 : level;
}

// Recomputes leastOtherLevel after a level changed or the system log was
// chosen. Under writerLock.
inline void refresh_least_other_level() {
    int least = peek(logState.logLevelStdOut);
    if (peek(logState.systemLog) != SystemLog::off) least = lesser(least, syslog_level());
    logState.leastOtherLevel = least;
}

// The level rules: a level below 1 becomes 1; the standard-output and syslog
// levels pull the file level down to their own. Callers hold writerLock.
void set_level(int level);
void set_level_stdout(int level);
void set_level_syslog(int level);

}  // namespace velm::log
