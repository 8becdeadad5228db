#include "log/stdout_output.h"
#include "common/hot_path.h"

#include "log/log_levels.h"
#include "log/log_state.h"
#include "platform/platform.h"

namespace velm::log {

VELM_HOT_PATH bool StdoutOutput::accept(const LogEntry& entry) {
    if (!entry.line) return false;
    bool versionInfoShown = entry.level != kVersionInfoLevel || logState.printVerInfoStdOut == 1;
    return versionInfoShown && logState.logLevelStdOut <= entry.level;
}

// A failed echo (a closed pipe) is not the log's to report: the file has the
// line.
void StdoutOutput::write(const LogEntry& entry) { platform::write_stdout(entry.line, entry.length); }

void show_everything_on_stdout() {
    logState.logLevelStdOut = 1;
    refresh_least_other_level();
}

}  // namespace velm::log
