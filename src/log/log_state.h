// The process-wide state of the log, and the internal operations on it.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <mutex>

namespace velm::log {

// The names from which the session log file's name and header are made, and
// their widths: the application and customer names take the setter's text and
// "_", the product name the text alone, all in fields of kNameSize bytes.
constexpr std::size_t kNameSize = 112;
constexpr int kPartNameWidth = 110;
constexpr int kProdNameWidth = 111;
constexpr char kDefaultApplName[] = "veserver_";
constexpr char kDefaultCustName[] = "VELM_";
constexpr char kDefaultProdName[] = "VE Quillan-Mor Kest";

// One name field, constant-initialised from its default.
struct NameField {
    char text[kNameSize];
};
constexpr NameField name_field(const char* name) {
    NameField field{};
    for (std::size_t i = 0; name[i] != '\0' && i + 1 < kNameSize; ++i) field.text[i] = name[i];
    return field;
}

// Set when the library is loaded; constant-initialised, so it is valid even
// for a host that logs from its own static constructors. The levels, flags and
// trace depth are atomics so that the drop test reads them without the lock;
// everything else is guarded by writerLock.
struct alignas(64) LogState {
    std::atomic<int> logLevel{-3};                     // file level; -3 until initialised
    std::atomic<int> logLevelStdOut{4};                // standard-output level
    std::atomic<int> logLevelSyslog{-3};               // kept and reported only: no system log is written
    std::atomic<unsigned char> logTimestamp{0};        // nonzero: every line is timestamped
    std::atomic<unsigned char> printVerInfo{0};        // no output depends on it
    std::atomic<unsigned char> printVerInfoStdOut{0};  // exactly 1: level 7 reaches standard output
    std::atomic<int> traceSpaces{0};                   // two spaces of indentation per unit
    std::atomic<bool> openingDone{false};              // the one opening of the process has been made
    NameField applName = name_field(kDefaultApplName);
    NameField custName = name_field(kDefaultCustName);
    NameField prodName = name_field(kDefaultProdName);
    char logFilePath[1025] = "";  // the path tried, valid once openingDone
    int logFile = -1;             // the session log file's descriptor; -1: none
    long lostLines = 0;           // lines the file refused since its last good write
    bool lineCut = false;         // the file ends inside a line written in part
    std::mutex writerLock;        // one line at a time, one opening, one initialisation
};

extern LogState logState;

// A level or flag as the drop test reads it: no ordering is needed, only a
// value that is not torn.
template <class T>
inline T peek(const std::atomic<T>& value) {
    return value.load(std::memory_order_relaxed);
}

// Whether a message of this level reaches neither output. Checked by the
// entry points before they gather their arguments, so a dropped message costs
// two comparisons once the log is initialised.
inline bool drops(int level) {
    int fileLevel = peek(logState.logLevel);
    return fileLevel != -3 && fileLevel > level && peek(logState.logLevelStdOut) > level;
}

inline int at_least_one(int level) { return level < 1 ? 1 : level; }
inline int lesser(int a, int b) { return a < b ? a : b; }

// Takes writerLock. The first call also arranges that a fork while another
// thread holds it leaves the child a free lock.
std::unique_lock<std::mutex> hold_writer_lock();

// Closes the session log file, if one is open, and returns its path (null
// when none was open). Later messages are shown on standard output only; for
// a tool that removes its own file at the end of a run.
const char* close_session_file();

// The writer behind vVELM_LOG and the entry points.
void write_message(int level, unsigned char timestamp, const char* format, va_list args);

// The level rules: a level below 1 becomes 1; the standard-output and syslog
// levels pull the file level down to their own. Callers hold writerLock.
void set_level(int level);
void set_level_stdout(int level);
void set_level_syslog(int level);

}  // namespace velm::log
