// The pair of level-1 lines that frames a traced operation and shows how
// deeply it is nested.
#pragma once

namespace velm::log {

// Writes " ->name file:line", timestamped, at the caller's depth, then raises
// the trace depth by one. file may be a path: only the part after its last
// separator is shown.
void trace_enter(const char* name, const char* file, int line);

// Lowers the trace depth again, then writes " <-name file:line" at the
// caller's depth.
void trace_leave(const char* name, const char* file, int line);

}  // namespace velm::log
