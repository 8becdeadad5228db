// The log writer: the one road of every message to the outputs.
#pragma once

#include <cstdarg>
#include <mutex>

namespace velm::log {

// Takes writerLock. The first call also arranges that a fork while another
// thread holds it leaves the child a free lock.
std::unique_lock<std::mutex> hold_writer_lock();

// A line of the log's own, formatted and delivered like a message of its
// level (a header line only to the file and standard output), under
// writerLock, which the caller holds.
void deliver_own(bool header, int level, unsigned char timestamp, const char* format, ...);

// The session log file's header lines (after the report of a failed opening,
// with its reason), delivered like messages under writerLock, which the
// caller holds.
void write_session_header(bool opened, const char* reason);

// The writer behind vVELM_LOG and the entry points.
void write_message(int level, unsigned char timestamp, const char* format, va_list args);

// Sends a message to the system log alone, as the writer would: for a
// message that is printed on standard output directly.
void write_to_system_log(int level, const char* format, va_list args);

}  // namespace velm::log
