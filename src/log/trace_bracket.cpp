#include "log/trace_bracket.h"

#include "velm_basetool.h"

namespace velm::log {

namespace {

// The bracket lines are of the trace level but always carry the timestamp, so
// that the time spent between them can be read from the log.
constexpr int kTraceLevel = 1;
constexpr unsigned char kAlwaysTimestamped = 1;

// The part of a source path after its last separator; either separator counts,
// so that both builds show the same name.
const char* without_directory(const char* file) {
    const char* name = file;
    for (const char* p = file; *p; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    return name;
}

}  // namespace

void trace_enter(const char* name, const char* file, int line) {
    VELM_LOG(kTraceLevel, kAlwaysTimestamped, " ->%s %s:%d\n", name, without_directory(file), line);
    VELM_IncTraceSpaces();
}

void trace_leave(const char* name, const char* file, int line) {
    VELM_DecTraceSpaces();
    VELM_LOG(kTraceLevel, kAlwaysTimestamped, " <-%s %s:%d\n", name, without_directory(file), line);
}

}  // namespace velm::log
