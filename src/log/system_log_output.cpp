#include "log/system_log_output.h"
#include "common/hot_path.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/text.h"
#include "log/log_levels.h"
#include "log/log_state.h"
#include "platform/platform.h"

namespace velm::log {

namespace {

// How long a logging thread waits for a system log that takes nothing: a
// working one takes a message within microseconds. A busy one, that takes
// other threads' messages meanwhile, is waited for up to kMostWaits times
// as long, so that it still gets every message.
constexpr int kWaitMilliseconds = 5;
constexpr int kMostWaits = 20;
constexpr int kWarningLevel = 3;
constexpr int kUserFacility = 1;
constexpr int kLocal0Facility = 16;

// The syslog severity of a message level.
int severity_of(int level) {
    switch (level) {
        case 3:
            return 4;  // warning
        case 4:
            return 3;  // err
        case 5:
            return 2;  // crit
        case 6:
            return 5;  // notice
        default:
            return level < 3 ? 7 : 6;  // debug below, info above
    }
}

// The Event Log's type of a message level, from the same table.
platform::EventType event_type_of(int level) {
    if (level == 3) return platform::EventType::warning;
    if (level == 4 || level == 5) return platform::EventType::error;
    return platform::EventType::information;
}

bool is(const char* value, const char* word) { return std::strcmp(value, word) == 0; }

// The system log a value of VELM_LOG_SYSLOG names; unchosen when it names none.
SystemLog system_log_named(const char* value) {
    if (!value || is(value, "") || is(value, "off")) return SystemLog::off;
    if (is(value, "journal")) return SystemLog::journal;
    if (is(value, "syslog")) return SystemLog::syslog;
    if (is(value, "eventlog")) return SystemLog::eventlog;
    if (is(value, "auto")) return platform::has_journal() ? SystemLog::journal : SystemLog::syslog;
    return SystemLog::unchosen;
}

// VELM_LOG_SYSLOG_FACILITY: local0 to local7, else the user facility.
int facility_from_env() {
    const char* value = platform::get_env("VELM_LOG_SYSLOG_FACILITY");
    bool local = value && std::strncmp(value, "local", 5) == 0 && value[5] >= '0' && value[5] <= '7' && !value[6];
    return local ? kLocal0Facility + (value[5] - '0') : kUserFacility;
}

// A name as the host gave it: the name field without the "_" its setter added.
void copy_name(NameField& out, const NameField& name, bool addedUnderscore) {
    std::size_t length = common::copy_cut(out.text, kNameSize, name.text);
    if (addedUnderscore && length > 0 && out.text[length - 1] == '_') out.text[length - 1] = '\0';
}

void take_names() {
    copy_name(logState.systemLogIdentifier, logState.applName, true);
    copy_name(logState.systemLogCustomer, logState.custName, true);
    copy_name(logState.systemLogProduct, logState.prodName, false);
}

void refuse(const char* value, const char* why) {
    std::snprintf(logState.systemLogRefusal, sizeof logState.systemLogRefusal,
                  "WARNING: VELM_LOG_SYSLOG=%.40s %s: nothing is sent to the system log\n", value, why);
    logState.systemLogRefused.store(true, std::memory_order_release);
}

// The socket of the journal or syslog, made and connected when it is not;
// under writerLock. False when there is none to send to.
bool ensure_connected(SystemLog kind) {
    int socket = logState.systemLogSocket;
    if (socket < 0) {
        socket = platform::new_system_log_socket();
        if (socket < 0) return false;
        logState.systemLogSocket = socket;
        logState.systemLogConnected = false;
    }
    if (!logState.systemLogConnected) {
        auto which =
            kind == SystemLog::journal ? platform::SystemLogSocket::journal : platform::SystemLogSocket::syslog;
        logState.systemLogConnected = platform::connect_system_log_socket(socket, which);
    }
    return logState.systemLogConnected;
}

// A child process gets a socket of its own at its first message: a child
// that closes descriptors it does not know must not leave the log writing
// into one it reused.
void forget_socket_in_child() {
    int socket = logState.systemLogSocket.exchange(-1);
    if (socket >= 0) platform::close_system_log_socket(socket);
    logState.systemLogConnected = false;
}

[[maybe_unused]] const bool forgetsInChild = (platform::on_fork(nullptr, nullptr, forget_socket_in_child), true);

// Sends one datagram, waiting while the system log takes other messages,
// but no longer than kWaitMilliseconds after it took the last one.
platform::Sent send_within_bound(int socket, const platform::Bytes* pieces, std::size_t count) {
    platform::Sent sent = platform::Sent::late;
    for (int waits = 0; waits < kMostWaits; ++waits) {
        unsigned long takenBefore = logState.systemLogTaken.load(std::memory_order_relaxed);
        sent = platform::send_datagram(socket, pieces, count, kWaitMilliseconds);
        if (sent != platform::Sent::late) break;
        if (logState.systemLogTaken.load(std::memory_order_relaxed) == takenBefore) break;  // stalled
    }
    if (sent == platform::Sent::taken) logState.systemLogTaken.fetch_add(1, std::memory_order_relaxed);
    return sent;
}

// One journal entry in the native protocol: fields of the form NAME, a line
// end, the value's length in 64 bits little-endian, the value and a line end,
// which allow any byte in a value.
class JournalEntry {
  public:
    void add(const char* nameAndLineEnd, const char* value, std::size_t size) {
        unsigned char* length = lengths_[fields_++];
        for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(size) >> (8 * i));
        pieces_[count_++] = {nameAndLineEnd, std::strlen(nameAndLineEnd)};
        pieces_[count_++] = {length, 8};
        pieces_[count_++] = {value, size};
        pieces_[count_++] = {"\n", 1};
    }
    void add(const char* nameAndLineEnd, const char* value) { add(nameAndLineEnd, value, std::strlen(value)); }
    platform::Sent send(int socket) const { return send_within_bound(socket, pieces_, count_); }

  private:
    static constexpr std::size_t kMaxFields = 10;
    platform::Bytes pieces_[4 * kMaxFields];
    unsigned char lengths_[kMaxFields][8];
    std::size_t count_ = 0;
    std::size_t fields_ = 0;
};

platform::Sent send_to_journal(int socket, int level, const char* text, std::size_t size) {
    char priority[4];
    char velmLevel[16];
    char threadId[24];
    std::snprintf(priority, sizeof priority, "%d", severity_of(level));
    std::snprintf(velmLevel, sizeof velmLevel, "%d", level);
    std::snprintf(threadId, sizeof threadId, "%ld", platform::thread_id());
    JournalEntry entry;
    entry.add("MESSAGE\n", text, size);
    entry.add("PRIORITY\n", priority);
    entry.add("SYSLOG_IDENTIFIER\n", logState.systemLogIdentifier.text);
    entry.add("VELM_LEVEL\n", velmLevel);
    if (logState.systemLogProduct.text[0]) entry.add("VELM_PRODUCT\n", logState.systemLogProduct.text);
    if (logState.systemLogCustomer.text[0]) entry.add("VELM_CUSTOMER\n", logState.systemLogCustomer.text);
    if (logState.systemLogNamesFile.load(std::memory_order_relaxed)) {
        entry.add("VELM_SESSION_FILE\n", logState.logFilePath);
    }
    entry.add("TID\n", threadId);
    return entry.send(socket);
}

// One syslog record as syslog(3) sends it, without the time, which the
// receiver adds: "<facility and severity>identifier[pid]: message".
platform::Sent send_to_syslog(int socket, int level, const char* text, std::size_t size) {
    char prefix[160];
    int length = std::snprintf(prefix, sizeof prefix, "<%d>%s[%d]: ", logState.syslogFacility * 8 + severity_of(level),
                               logState.systemLogIdentifier.text, platform::process_id());
    platform::Bytes pieces[] = {{prefix, static_cast<std::size_t>(length)}, {text, size}};
    return send_within_bound(socket, pieces, 2);
}

// The Event Log takes the message as a string of its own.
bool report_to_event_log(int level, const char* text, std::size_t size) {
    char* copy = static_cast<char*>(std::malloc(size + 1));
    if (!copy) return false;
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    bool taken = platform::report_event(event_type_of(level), copy);
    std::free(copy);
    return taken;
}

// Sends one message to the chosen log; true when it was taken. A socket
// found without a receiver is connected again by the next message.
bool send(SystemLog kind, int level, const char* text, std::size_t size) {
    if (kind == SystemLog::eventlog) return report_to_event_log(level, text, size);
    int socket = logState.systemLogSocket;
    platform::Sent sent = kind == SystemLog::journal ? send_to_journal(socket, level, text, size)
                                                     : send_to_syslog(socket, level, text, size);
    if (sent == platform::Sent::broken) logState.systemLogConnected = false;
    return sent == platform::Sent::taken;
}

// After losses, the count goes out first, as a warning of its own.
void send_lost_count(SystemLog kind) {
    long lost = logState.systemLogLost.exchange(0);
    if (lost == 0) return;
    char notice[112];
    int length = std::snprintf(notice, sizeof notice,
                               "*** %ld log messages lost: the system log did not take them in time ***", lost);
    if (!send(kind, kWarningLevel, notice, static_cast<std::size_t>(length))) logState.systemLogLost += lost;
}

}  // namespace

VELM_HOT_PATH bool system_log_unchosen_for(int level) {
    return logState.systemLog.load(std::memory_order_acquire) == SystemLog::unchosen && level >= syslog_level();
}

bool system_log_takes(int level) {
    SystemLog kind = logState.systemLog.load(std::memory_order_acquire);
    return kind != SystemLog::unchosen && kind != SystemLog::off && level >= syslog_level();
}

void choose_system_log() {
    if (logState.systemLog != SystemLog::unchosen) return;
    const char* value = platform::get_env("VELM_LOG_SYSLOG");
    SystemLog kind = system_log_named(value);
    take_names();
    logState.syslogFacility = facility_from_env();
    if (kind == SystemLog::unchosen) {
        refuse(value, "is none of journal, syslog, eventlog, auto, off");
        kind = SystemLog::off;
    }
    // A journal that is not running yet is connected by a later message; a
    // platform without such sockets has the Event Log instead, for auto.
    bool overSocket = kind == SystemLog::journal || kind == SystemLog::syslog;
    if (overSocket && !ensure_connected(kind) && logState.systemLogSocket < 0) {
        kind = is(value, "auto") ? SystemLog::eventlog : SystemLog::off;
        if (kind == SystemLog::off) refuse(value, "names a log this system does not have");
    }
    const char* source =
        logState.systemLogProduct.text[0] ? logState.systemLogProduct.text : logState.systemLogIdentifier.text;
    if (kind == SystemLog::eventlog && !platform::open_event_log(source)) {
        refuse(value, "names a log this system does not have");
        kind = SystemLog::off;
    }
    logState.systemLog.store(kind, std::memory_order_release);
    refresh_least_other_level();
}

VELM_HOT_PATH bool SystemLogOutput::accept(const LogEntry& entry) {
    SystemLog kind = logState.systemLog.load(std::memory_order_acquire);
    if (entry.header || !system_log_takes(entry.level)) return false;
    if (!entry.line || (kind != SystemLog::eventlog && !ensure_connected(kind))) {
        ++logState.systemLogLost;
        return false;
    }
    logState.systemLogNamesFile.store(logState.logFile >= 0, std::memory_order_relaxed);
    return true;
}

void SystemLogOutput::write(const LogEntry& entry) {
    SystemLog kind = logState.systemLog.load(std::memory_order_acquire);
    const char* text = entry.line + entry.messageStart;
    std::size_t size = entry.length - entry.messageStart;
    if (size > 0 && text[size - 1] == '\n') --size;
    send_lost_count(kind);
    if (!send(kind, entry.level, text, size)) ++logState.systemLogLost;
}

}  // namespace velm::log
