// The process-wide state of the log: one record, its initial values where
// they are declared. The operations on it live beside it: the level rules
// and the drop test in log_levels.h, the writer in log_writer.h, the outputs
// in *_output.h.
#pragma once

#include <atomic>
#include <mutex>

#include "log/log_folder.h"
#include "log/log_names.h"

namespace velm::log {

// Where messages at or above the syslog level go besides the file and
// standard output; chosen once, from VELM_LOG_SYSLOG.
enum class SystemLog { unchosen, off, journal, syslog, eventlog };

// Set when the library is loaded; constant-initialised, so it is valid even
// for a host that logs from its own static constructors. The levels, flags and
// trace depth are atomics so that the drop test reads them without the lock;
// everything else is guarded by writerLock. What every line reads comes
// first and the names and the path, read at the opening, come last: a line
// then reaches few cache lines of the record, which the write(2) of the line
// before may have left cold.
struct alignas(64) LogState {
    std::atomic<int> logLevel{-3};  // file level; -3 until initialised
    // The drop test's second level: the least of the standard-output level
    // and, unless the system log is off, the syslog level.
    std::atomic<int> leastOtherLevel{4};
    std::atomic<int> logLevelStdOut{4};                // standard-output level
    std::atomic<int> logLevelSyslog{-3};               // the system log's level; -3 counts as 4
    std::atomic<unsigned char> logTimestamp{0};        // nonzero: every line is timestamped
    std::atomic<unsigned char> printVerInfo{0};        // no output depends on it
    std::atomic<unsigned char> printVerInfoStdOut{0};  // exactly 1: level 7 reaches standard output
    std::atomic<int> traceSpaces{0};                   // two spaces of indentation per unit
    std::atomic<bool> openingDone{false};              // the one opening of the process has been made
    int logFile = -1;                                  // the session log file's descriptor; -1: none
    long lostLines = 0;                                // lines the file refused since its last good write
    bool lineCut = false;                              // the file ends inside a line written in part
    FolderLimits folderLimits;                         // size limit, rolled files, retention: read at the opening
    std::uint64_t fileSize = 0;   // bytes in the file, counted as written while there is a size limit
    std::uint64_t headerEnd = 0;  // fileSize where the header ends: no roll-over before a line follows it
    std::mutex writerLock;        // one line at a time, one opening, one initialisation

    // The system log. The names are taken when it is chosen; the socket is
    // connected, and the Event Log source registered, under writerLock.
    std::atomic<SystemLog> systemLog{SystemLog::unchosen};
    std::atomic<bool> systemLogRefused{false};  // a refusal of VELM_LOG_SYSLOG waits for the session file
    int syslogFacility = 1;                     // the syslog facility: user, or local0..local7 (16..23)
    std::atomic<int> systemLogSocket{-1};       // the journal's or syslog's socket; -1: none yet
    std::atomic<bool> systemLogConnected{false};
    std::atomic<bool> systemLogNamesFile{false};   // a session file is open: the journal gets its path
    std::atomic<long> systemLogLost{0};            // messages not taken since the last one that was
    std::atomic<unsigned long> systemLogTaken{0};  // messages taken: whether a busy log still takes them
    NameField systemLogIdentifier{};               // the application name without its "_"
    NameField systemLogCustomer{};                 // the customer name without its "_"; empty: none
    NameField systemLogProduct{};                  // the product name; empty: none

    char systemLogRefusal[160] = "";  // the line of a refusal of VELM_LOG_SYSLOG
    NameField applName = name_field(kDefaultApplName);
    NameField custName = name_field(kDefaultCustName);
    NameField prodName = name_field(kDefaultProdName);
    char logFilePath[1025] = "";  // the path tried, valid once openingDone
};

extern LogState logState;

// A level or flag as a reader without the lock reads it: no ordering is
// needed, only a value that is not torn.
template <class T>
inline T peek(const std::atomic<T>& value) {
    return value.load(std::memory_order_relaxed);
}

}  // namespace velm::log
