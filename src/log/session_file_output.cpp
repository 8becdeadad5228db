#include "log/session_file_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/environment.h"
#include "common/text.h"
#include "log/log_state.h"
#include "log/log_writer.h"
#include "platform/platform.h"

namespace velm::log {

namespace {

// Writes text to the session log file. After lines were lost, the file first
// gets a line end (if it was left inside a line) and a line that counts them,
// in the same write, so that nothing lost goes unnoticed and no two lines are
// glued together.
void write_to_file(const char* text, std::size_t length) {
    char notice[96] = "";
    int noticeLength = 0;
    if (logState.lostLines > 0 || logState.lineCut) {
        noticeLength = std::snprintf(notice, sizeof notice,
                                     "%s*** %ld log lines lost: the session log file could not be written ***\n",
                                     logState.lineCut ? "\n" : "", logState.lostLines);
    }
    std::size_t total = static_cast<std::size_t>(noticeLength) + length;
    char* out = const_cast<char*>(text);
    if (noticeLength > 0) {
        out = static_cast<char*>(std::malloc(total));
        if (!out) {
            ++logState.lostLines;
            return;
        }
        std::memcpy(out, notice, static_cast<std::size_t>(noticeLength));
        std::memcpy(out + noticeLength, text, length);
    }
    std::size_t written = platform::write_session_file(logState.logFile, out, total);
    if (written == total) {
        logState.lostLines = 0;
        logState.lineCut = false;
    } else {
        ++logState.lostLines;
        if (written > 0) logState.lineCut = out[written - 1] != '\n';
    }
    if (out != text) std::free(out);
}

// The log directory: VE_TMP_DIR, TEMP, TMP, then the platform's own.
void log_directory(char* out, std::size_t size) {
    if (const char* dir = common::temp_directory_from_env()) {
        common::copy_cut(out, size, dir);
    } else {
        platform::fallback_log_directory(out, size);
    }
}

}  // namespace

bool SessionFileOutput::accept(const LogEntry& entry) {
    if (logState.logLevel > entry.level || logState.logFile < 0) return false;
    if (entry.line) {
        write_to_file(entry.line, entry.length);
    } else {
        ++logState.lostLines;  // no memory to build it
    }
    return false;
}

bool finds_no_session_file(int level) { return logState.logLevel <= level && logState.logFile < 0; }

bool open_session_file(char* reason, std::size_t reasonSize) {
    char directory[1025];
    log_directory(directory, sizeof directory);
    int length = std::snprintf(logState.logFilePath, sizeof logState.logFilePath, "%s%c%s%s%d.log", directory,
                               platform::path_separator(), logState.applName.text, logState.custName.text,
                               platform::process_id());
    logState.openingDone.store(true, std::memory_order_release);
    // A path that had to be cut names some other file: never open that one.
    bool fits = length >= 0 && static_cast<std::size_t>(length) < sizeof logState.logFilePath;
    if (!fits) common::copy_cut(reason, reasonSize, "the path is too long");
    logState.logFile = fits ? platform::open_session_file(logState.logFilePath, reason, reasonSize) : -1;
    return logState.logFile >= 0;
}

const char* close_session_file() {
    auto lock = hold_writer_lock();
    if (logState.logFile < 0) return nullptr;
    platform::close_session_file(logState.logFile);
    logState.logFile = -1;
    return logState.logFilePath;
}

}  // namespace velm::log
