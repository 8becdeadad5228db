// The log writer: every message of the library and its hosts passes here.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "common/hot_path.h"
#include "common/text.h"
#include "log/log_levels.h"
#include "log/log_output.h"
#include "log/log_state.h"
#include "log/log_writer.h"
#include "log/printf_format.h"
#include "log/session_file_output.h"
#include "log/stdout_output.h"
#include "log/system_log_output.h"
#include "platform/platform.h"
#include "velm_basetool.h"
#include "velm_basetool_version.h"

namespace velm::log {

LogState logState;

namespace {

constexpr int kErrorLevel = 4;  // the report of a failed opening, always timestamped
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

// Reads the levels and flags from the environment, under writerLock. The
// rules are applied in their order, and the file level is stored last: a
// thread that tests for dropping meanwhile sees either the uninitialised log
// or the finished levels. The flags are only ever switched on, so a flag a
// host set before its first message survives.
void initialise_from_env() {
    int fileLevel = at_least_one(level_from_env("VELM_LOG_LEVEL"));
    int stdoutLevel = at_least_one(level_from_env("VELM_LOG_LEVEL_STDOUT"));
    int syslogLevel = at_least_one(level_from_env("VELM_LOG_LEVEL_SYSLOG"));
    if (env_says_yes("VELM_LOG_TIMESTAMP")) logState.logTimestamp = 1;
    if (platform::get_env("VELM_VERSION")) logState.printVerInfo = 1;
    if (platform::get_env("VELM_VERSION_STDOUT")) logState.printVerInfoStdOut = 1;
    logState.logLevelStdOut = stdoutLevel;
    logState.logLevelSyslog = syslogLevel;
    refresh_least_other_level();
    logState.logLevel = lesser(lesser(fileLevel, stdoutLevel), syslogLevel);
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

// The last timestamp a thread built, kept for the rest of its second: it is
// most of the cost of a line. One per thread, so that lines are built
// without the lock.
struct TimestampCache {
    std::int64_t second = -1;  // the second text shows; -1: none yet
    char text[40] = "";        // "YYYY/MM/DD-hh:mm:ss UTC - " of second
};
thread_local TimestampCache stampCache;

// The "YYYY/MM/DD-hh:mm:ss UTC - " prefix for the current time, built by hand.
VELM_HOT_PATH const char* current_timestamp() {
    std::int64_t now = platform::now();
    if (now == stampCache.second) return stampCache.text;
    std::tm utc;
    if (!platform::utc_time(now, utc) || utc.tm_year + 1900 < 0 || utc.tm_year + 1900 > 9999) return "";
    char* out = stampCache.text;
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
    stampCache.second = now;
    return stampCache.text;
}

// Whether the whole message of format, length (at least 1) characters long,
// ends with a line end: it is formatted again, whole, to see (for a cut
// message only, so rarely).
bool whole_message_ends_line(const char* format, va_list args, std::size_t length) {
    char* whole = static_cast<char*>(std::malloc(length + 1));
    if (!whole) return false;
    bool ends = format_message(whole, length + 1, format, args) == length && whole[length - 1] == '\n';
    std::free(whole);
    return ends;
}

// Room for most lines on the stack: the indentation, the timestamp and the
// least message capacity, with a trace depth of a few hundred.
constexpr std::size_t kLineRoomOnStack = 2048;

// One line as the file and standard output show it, built where it goes out
// from, so that it goes out in one write: indentation, then the timestamp
// when there is one, then the message (which brings its own line end). On
// the stack when the message capacity leaves room there, as for nearly every
// line; else on the heap. text is null when there was no memory for it.
struct Line {
    char local[kLineRoomOnStack];
    char* text = nullptr;
    std::size_t length = 0;
    std::size_t messageStart = 0;  // where the message begins in text

    Line() = default;
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
    ~Line() {
        if (text != local) std::free(text);
    }
};

// Formats a message into out, which has room for the message capacity and a
// NUL. A message cut at the capacity keeps its final line end, in place of
// its last character kept, so that the next line does not continue it.
VELM_HOT_PATH void format_into(char* out, std::size_t capacity, const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    std::size_t length = format_message(out, capacity + 1, format, args);
    if (length > capacity && out[capacity - 1] != '\n' && whole_message_ends_line(format, again, length)) {
        out[capacity - 1] = '\n';
    }
    va_end(again);
}

// Builds into line the message formatted behind indent spaces and the
// stampLength characters of stamp.
VELM_HOT_PATH void build_line_from(Line& line, std::size_t indent, const char* stamp, std::size_t stampLength,
                                   const char* format, va_list args) {
    std::size_t capacity = message_capacity(format);
    std::size_t room = indent + stampLength + capacity + 1;
    line.text = room <= sizeof line.local ? line.local : static_cast<char*>(std::malloc(room));
    if (!line.text) return;
    // Most lines have neither: no call for nothing.
    if (indent > 0) std::memset(line.text, ' ', indent);
    if (stampLength > 0) std::memcpy(line.text + indent, stamp, stampLength);
    line.messageStart = indent + stampLength;
    format_into(line.text + line.messageStart, capacity, format, args);
    line.length = line.messageStart + std::strlen(line.text + line.messageStart);
}

// Builds into line the line of a message: its indentation and timestamp, and
// the message formatted in place behind them.
VELM_HOT_PATH void build_line(Line& line, unsigned char timestamp, const char* format, va_list args) {
    bool stamped = logState.logTimestamp != 0 || timestamp != 0;
    int depth = peek(logState.traceSpaces);
    std::size_t indent = depth > 0 ? 2 * static_cast<std::size_t>(depth) : 0;
    const char* stamp = stamped ? current_timestamp() : "";
    build_line_from(line, indent, stamp, stamped ? std::strlen(stamp) : 0, format, args);
}

// The entry of a built line (a null line: no memory for it).
LogEntry entry_of(int level, const Line& line, bool header = false) {
    return LogEntry{level, line.text, line.length, line.messageStart, header};
}

// The outputs, in the order they get a line: the file first, so that a file
// that fails is known before standard output decides.
using Outputs = OutputList<SessionFileOutput, StdoutOutput, SystemLogOutput>;

// Offers an entry to every output, under writerLock, and returns what is left
// to write once the lock is let go. A message for the file while no file is
// open first hands standard output everything of level 1 and up, this
// message included.
VELM_HOT_PATH Outputs::Pending accept_everywhere(const LogEntry& entry) {
    if (finds_no_session_file(entry.level)) show_everything_on_stdout();
    return Outputs::accept(entry);
}

}  // namespace

void deliver_own(bool header, int level, unsigned char timestamp, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Line line;
    build_line(line, timestamp, format, args);
    va_end(args);
    LogEntry entry = entry_of(level, line, header);
    Outputs::write(entry, accept_everywhere(entry));
}

void write_session_header(bool opened, const char* reason) {
    const char* prodName = logState.prodName.text;
    if (!opened) {
        deliver_own(false, kErrorLevel, 1, "Can't open %s-Session-LogFile %s\n", prodName, logState.logFilePath);
        deliver_own(false, kErrorLevel, 1, "Reason: %s\n", reason);
    }
    deliver_own(true, kVersionInfoLevel, 0, "  ### %s Log-File ###\n\n", prodName);
    deliver_own(true, kVersionInfoLevel, 0, "  %s Session-LogFile %s\n", prodName, logState.logFilePath);
    deliver_own(true, kVersionInfoLevel, 0, "\n");
    deliver_own(true, kVersionInfoLevel, 0, "  VELM Base-Tool                     (%s)  %s %s\n", kVersionText,
                __DATE__, __TIME__);
    deliver_own(true, kVersionInfoLevel, 0, "\n");
}

namespace {

// Opens the session log file and writes its header, under writerLock; then
// the log folder is tidied as the operator asked.
void open_session_file_with_header() {
    char reason[256] = "";
    write_session_header(open_session_file(reason, sizeof reason), reason);
    finish_session_file_opening();
}

// Writes the refusal of VELM_LOG_SYSLOG, once, after the file's header.
void report_system_log_refusal() {
    auto hold = hold_writer_lock();
    if (logState.systemLogRefused.exchange(false)) deliver_own(false, kErrorLevel, 1, "%s", logState.systemLogRefusal);
}

// Chooses the system log for the first message that could reach it.
VELM_HOT_PATH void choose_system_log_for(int level) {
    if (!system_log_unchosen_for(level)) return;
    auto hold = hold_writer_lock();
    choose_system_log();
}

// A fork while another thread writes must not leave the child a lock that
// nobody will release.
void lock_for_fork() { logState.writerLock.lock(); }
void unlock_after_fork() { logState.writerLock.unlock(); }

// Registers the fork handlers, once. The first use makes the registration,
// and so does the library's loading: a fork can then never meet another
// thread in the middle of the first use, which would leave the child waiting
// for a registration that never ends. Registering takes no lock of ours.
bool arrange_for_fork() {
    static const bool arranged = (platform::on_fork(lock_for_fork, unlock_after_fork, unlock_after_fork), true);
    return arranged;
}

[[maybe_unused]] const bool arrangedAtLoad = arrange_for_fork();

}  // namespace

VELM_HOT_PATH std::unique_lock<std::mutex> hold_writer_lock() {
    arrange_for_fork();
    std::unique_lock<std::mutex> lock(logState.writerLock, std::try_to_lock);
    // Another thread's line takes about a microsecond to write: giving the
    // processor away for a moment and trying again costs less than sleeping
    // in the kernel until the holder wakes this thread.
    for (int tries = 0; !lock.owns_lock() && tries < 64; ++tries) {
        std::this_thread::yield();
        (void)lock.try_lock();
    }
    if (!lock.owns_lock()) lock.lock();
    return lock;
}

VELM_HOT_PATH void write_message(int level, unsigned char timestamp, const char* format, va_list args) {
    if (peek(logState.logLevel) == -3) {
        auto hold = hold_writer_lock();
        if (logState.logLevel == -3) initialise_from_env();
    }
    if (drops(level) || !format) return;
    choose_system_log_for(level);
    if (drops(level)) return;  // only the system log could have taken it, and it is off

    // Formatted and built before the lock is taken: the host's arguments are
    // read on its own thread, and other threads' lines need not wait for it.
    // The session file is opened first, so that its header comes before.
    if (!logState.openingDone.load(std::memory_order_acquire) && reaches_file_or_stdout(level)) {
        auto hold = hold_writer_lock();
        if (!logState.openingDone) open_session_file_with_header();
    }
    if (logState.systemLogRefused.load(std::memory_order_acquire)) report_system_log_refusal();
    Line line;
    build_line(line, timestamp, format, args);
    LogEntry entry = entry_of(level, line);
    Outputs::Pending pending;
    {
        auto hold = hold_writer_lock();
        pending = accept_everywhere(entry);
    }
    // Written after the lock is let go: a line is still one write, so lines
    // of several threads never mix there either, and the next thread's file
    // write need not wait for this one's echo.
    Outputs::write(entry, pending);
}

void write_to_system_log(int level, const char* format, va_list args) {
    choose_system_log_for(level);
    if (!format || !system_log_takes(level)) return;
    // The system log stamps the message itself and has no indentation.
    Line line;
    build_line_from(line, 0, "", 0, format, args);
    if (!line.text) return;
    using Only = OutputList<SystemLogOutput>;
    LogEntry entry = entry_of(level, line);
    Only::Pending pending;
    {
        auto hold = hold_writer_lock();
        pending = Only::accept(entry);
    }
    Only::write(entry, pending);
}

}  // namespace velm::log

extern "C" VELM_HOT_PATH void vVELM_LOG(int level, unsigned char timestamp, const char* format, va_list args) {
    velm::log::write_message(level, timestamp, format, args);
}
