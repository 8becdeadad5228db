// The log writer: the one road of every message to the outputs.
#pragma once

#include <cstdarg>
#include <mutex>

namespace velm::log {

// Takes writerLock. The first call also arranges that a fork while another
// thread holds it leaves the child a free lock.
std::unique_lock<std::mutex> hold_writer_lock();

// The writer behind vVELM_LOG and the entry points.
void write_message(int level, unsigned char timestamp, const char* format, va_list args);

// Sends a message to the system log alone, as the writer would: for a
// message that is printed on standard output directly.
void write_to_system_log(int level, const char* format, va_list args);

}  // namespace velm::log
