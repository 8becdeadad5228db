// The log writer: every message of the library and its hosts passes here.
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "common/environment.h"
#include "common/text.h"
#include "log/log_state.h"
#include "log/message_format.h"
#include "platform/platform.h"
#include "velm_basetool.h"
#include "velm_basetool_version.h"

namespace velm::log {

LogState logState;

namespace {

constexpr int kVersionInfoLevel = 7;
constexpr std::size_t kMinMessageCapacity = 1056;
constexpr char kVersionText[] = VELM_BASETOOL_VERSION_TEXT;

// A logging variable's level; 4 when the variable is unset.
int level_from_env(const char* name) {
    const char* value = platform::get_env(name);
    return value ? common::leading_int(value) : 4;
}

bool env_says_yes(const char* name) {
    const char* value = platform::get_env(name);
    return value && (value[0] == 'y' || value[0] == 'Y' || value[0] == '1');
}

// Reads the levels and flags from the environment. The file level ends as the
// least of the three levels, and the flags are only ever switched on, so a
// flag a host set before its first message survives.
void initialise_from_env() {
    set_level(level_from_env("VELM_LOG_LEVEL"));
    set_level_stdout(level_from_env("VELM_LOG_LEVEL_STDOUT"));
    set_level_syslog(level_from_env("VELM_LOG_LEVEL_SYSLOG"));
    if (env_says_yes("VELM_LOG_TIMESTAMP")) logState.logTimestamp = 1;
    if (platform::get_env("VELM_VERSION")) logState.printVerInfo = 1;
    if (platform::get_env("VELM_VERSION_STDOUT")) logState.printVerInfoStdOut = 1;
}

// Room for the formatted message: the format's length + 256, at least 1056.
std::size_t message_capacity(const char* format) {
    std::size_t capacity = std::strlen(format) + 256;
    return capacity < kMinMessageCapacity ? kMinMessageCapacity : capacity;
}

// Writes value as width decimal digits, with leading zeros.
char* put_digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
    return out + width;
}

// The "YYYY/MM/DD-hh:mm:ss UTC - " prefix for the current time. Built by hand
// and kept for the rest of its second: it is most of the cost of a line.
const char* current_timestamp() {
    std::int64_t now = platform::now();
    if (now == logState.stampSecond) return logState.stampText;
    std::tm utc;
    if (!platform::utc_time(now, utc) || utc.tm_year + 1900 < 0 || utc.tm_year + 1900 > 9999)
        return "";
    char* out = logState.stampText;
    out = put_digits(out, utc.tm_year + 1900, 4);
    *out++ = '/';
    out = put_digits(out, utc.tm_mon + 1, 2);
    *out++ = '/';
    out = put_digits(out, utc.tm_mday, 2);
    *out++ = '-';
    out = put_digits(out, utc.tm_hour, 2);
    *out++ = ':';
    out = put_digits(out, utc.tm_min, 2);
    *out++ = ':';
    out = put_digits(out, utc.tm_sec, 2);
    std::memcpy(out, " UTC - ", sizeof " UTC - ");
    logState.stampSecond = now;
    return logState.stampText;
}

void write_indentation(std::FILE* out, int depth) {
    static const char spaces[] = "                                                                ";
    std::size_t remaining = depth > 0 ? 2 * static_cast<std::size_t>(depth) : 0;
    while (remaining > 0) {
        std::size_t chunk = remaining < sizeof spaces - 1 ? remaining : sizeof spaces - 1;
        std::fwrite(spaces, 1, chunk, out);
        remaining -= chunk;
    }
}

// One line as both outputs show it: indentation, then the timestamp when
// there is one, then the message (which brings its own line end).
void write_line(std::FILE* out, const char* timestamp, const char* message) {
    write_indentation(out, logState.traceSpaces);
    if (timestamp) std::fputs(timestamp, out);
    std::fputs(message, out);
}

// The log directory: VE_TMP_DIR, TEMP, TMP, then the platform's own.
void log_directory(char* out, std::size_t size) {
    if (const char* dir = common::temp_directory_from_env()) {
        common::copy_cut(out, size, dir);
    } else {
        platform::fallback_log_directory(out, size);
    }
}

// Creates the session log file and writes its header. The report of a failed
// opening and the header lines come back into the writer, which must not
// start another opening from there.
void open_session_file() {
    logState.opening = true;
    char directory[1025];
    log_directory(directory, sizeof directory);
    int length = std::snprintf(logState.logFilePath, sizeof logState.logFilePath,
                               "%s%c%s%s%d.log", directory, platform::path_separator(),
                               logState.applName, logState.custName, platform::process_id());
    logState.openingDone = true;
    // A path that had to be cut names some other file: never open that one.
    bool fits = length >= 0 && static_cast<std::size_t>(length) < sizeof logState.logFilePath;
    logState.logFile = fits ? platform::open_session_file(logState.logFilePath) : nullptr;
    if (!logState.logFile) {
        VELM_ERROR("Can't open %s-Session-LogFile %s\n", logState.prodName, logState.logFilePath);
    }
    VELM_PRINT_VERINFO("  ### %s Log-File ###\n\n", logState.prodName);
    VELM_PRINT_VERINFO("  %s Session-LogFile %s\n", logState.prodName, logState.logFilePath);
    VELM_PRINT_VERINFO("\n");
    VELM_PRINT_VERINFO("  VELM Base-Tool                     (%s)  %s %s\n", kVersionText,
                       __DATE__, __TIME__);
    VELM_PRINT_VERINFO("\n");
    logState.opening = false;
}

}  // namespace

void write_message(int level, unsigned char timestamp, const char* format, va_list args) {
    if (logState.logLevel == -3) initialise_from_env();
    if (logState.logLevel > level && logState.logLevelStdOut > level) return;
    if (!format) return;

    std::size_t capacity = message_capacity(format);
    char* message = static_cast<char*>(std::malloc(capacity + 1));
    if (!message) return;  // no memory: this message is lost, the host goes on
    format_message(message, capacity + 1, format, args);

    if (!logState.logFile && !logState.opening && !logState.openingDone) open_session_file();

    bool stamped = logState.logTimestamp != 0 || timestamp != 0;
    const char* prefix = stamped ? current_timestamp() : nullptr;

    if (logState.logLevel <= level) {
        if (!logState.logFile) {
            // No file: from now on everything of level 1 and up is shown on
            // standard output, this message included.
            logState.logLevelStdOut = 1;
        } else {
            write_line(logState.logFile, prefix, message);
            std::fflush(logState.logFile);
        }
    }
    bool showsOnStdOut = level != kVersionInfoLevel || logState.printVerInfoStdOut == 1;
    if (showsOnStdOut && logState.logLevelStdOut <= level) write_line(stdout, prefix, message);

    std::free(message);
}

}  // namespace velm::log

extern "C" void vVELM_LOG(int level, unsigned char timestamp, const char* format, va_list args) {
    velm::log::write_message(level, timestamp, format, args);
}
