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

}  // namespace velm::log
