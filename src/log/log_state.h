// The process-wide state of the log, and the internal operations on it.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace velm::log {

// Set when the library is loaded; constant-initialised, so it is valid even
// for a host that logs from its own static constructors.
struct LogState {
    int  logLevel           = -3;     // file level; -3 until initialised
    int  logLevelStdOut     = 4;      // standard-output level
    int  logLevelSyslog     = -3;     // kept and reported only: no system log is written
    unsigned char logTimestamp       = 0;  // nonzero: every line is timestamped
    unsigned char printVerInfo       = 0;  // no output depends on it
    unsigned char printVerInfoStdOut = 0;  // exactly 1: level 7 reaches standard output
    int  traceSpaces        = 0;      // two spaces of indentation per unit
    char applName[112]      = "veserver_";
    char custName[112]      = "VELM_";
    char prodName[112]      = "VE Quillan-Mor Kest";
    char logFilePath[1025]  = "";     // the path tried, valid once openingDone
    std::FILE* logFile      = nullptr;
    bool opening            = false;  // the header is being written: no second opening
    bool openingDone        = false;  // the one opening of the process has been made
    std::int64_t stampSecond = -1;    // the second stampText shows; -1: none yet
    char stampText[40]      = "";     // "YYYY/MM/DD-hh:mm:ss UTC - " of stampSecond
};

extern LogState logState;

// Whether a message of this level reaches neither output. Checked by the
// entry points before they gather their arguments, so a dropped message costs
// two comparisons once the log is initialised.
inline bool drops(int level) {
    return logState.logLevel != -3 && logState.logLevel > level && logState.logLevelStdOut > level;
}

// The writer behind vVELM_LOG and the entry points.
void write_message(int level, unsigned char timestamp, const char* format, va_list args);

// The level rules: a level below 1 becomes 1; the standard-output and syslog
// levels pull the file level down to their own.
void set_level(int level);
void set_level_stdout(int level);
void set_level_syslog(int level);

}  // namespace velm::log
