// The log entry points: each fixes a level and whether its line is always
// timestamped, and hands the rest to the writer.
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "common/hot_path.h"
#include "log/log_levels.h"
#include "log/log_state.h"
#include "log/log_writer.h"
#include "log/printf_format.h"
#include "velm_basetool.h"

using velm::log::logState;

#define VELM_FORWARD(level, timestamp)                            \
    if (velm::log::drops(level)) return;                          \
    va_list args;                                                 \
    va_start(args, format);                                       \
    velm::log::write_message((level), (timestamp), format, args); \
    va_end(args)

extern "C" {

VELM_HOT_PATH void VELM_TRACE(const char* format, ...) { VELM_FORWARD(1, 0); }
VELM_HOT_PATH void VELM_DEBUG(const char* format, ...) { VELM_FORWARD(2, 0); }
VELM_HOT_PATH void VELM_WARNING(const char* format, ...) { VELM_FORWARD(3, 0); }
VELM_HOT_PATH void VELM_ERROR(const char* format, ...) { VELM_FORWARD(4, 1); }
VELM_HOT_PATH void VELM_CRERROR(const char* format, ...) { VELM_FORWARD(5, 1); }
VELM_HOT_PATH void VELM_PRINTLOG(const char* format, ...) { VELM_FORWARD(6, 0); }
VELM_HOT_PATH void VELM_PRINT_VERINFO(const char* format, ...) { VELM_FORWARD(7, 0); }
VELM_HOT_PATH void VELM_LOG(int level, unsigned char timestamp, const char* format, ...) {
    VELM_FORWARD(level, timestamp);
}

void VELM_PRINT_AND_LOG(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (logState.logLevelStdOut > 1) {
        // Printed as it is: no indentation, no timestamp, and the log is not
        // initialised by it. The system log still gets it.
        va_list again;
        va_copy(again, args);
        if (format) velm::log::print_message(stdout, format, args);
        std::fflush(stdout);  // like the writer's echo: nothing left for a crash or a fork
        velm::log::write_to_system_log(6, format, again);
        va_end(again);
    } else {
        velm::log::write_message(6, 0, format, args);
    }
    va_end(args);
}

void VELM_IncTraceSpaces(void) {
    // Unbounded in practice, but a counter must not overflow.
    int depth = velm::log::peek(logState.traceSpaces);
    while (depth < INT_MAX && !logState.traceSpaces.compare_exchange_weak(depth, depth + 1)) {
    }
}

void VELM_DecTraceSpaces(void) {
    int depth = velm::log::peek(logState.traceSpaces);
    while (depth > 0 && !logState.traceSpaces.compare_exchange_weak(depth, depth - 1)) {
    }
}

}  // extern "C"
