// The system log as an output of the log (see log_output.h): the systemd
// journal, syslog or the Windows Event Log, as VELM_LOG_SYSLOG chooses. It
// gets every message at or above the syslog level, without indentation,
// timestamp and final line end, and never holds a logging thread longer
// than a few milliseconds: what it does not take in that time is counted,
// and the next message that gets through is preceded by the count.
#pragma once

#include <cstddef>

#include "log/log_output.h"

namespace velm::log {

struct SystemLogOutput {
    // Whether the entry goes to the system log: chosen and on, at or above
    // the syslog level, no header line. Connects what needs connecting.
    static bool accept(const LogEntry& entry);
    // Sends the message, within the bound.
    static void write(const LogEntry& entry);
};

// Whether the system log is still to be chosen for a message of this level:
// the first message that could reach it chooses it.
bool system_log_unchosen_for(int level);

// Whether the system log is on and takes a message of this level.
bool system_log_takes(int level);

// Reads VELM_LOG_SYSLOG (and VELM_LOG_SYSLOG_FACILITY) and opens the system
// log it names, once, under writerLock. A value it does not know, or a log
// the platform does not have, leaves the system log off and a refusal line
// in logState.systemLogRefusal for the session file.
void choose_system_log();

}  // namespace velm::log
