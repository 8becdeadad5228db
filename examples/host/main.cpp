// A small host: names itself, logs through the entry points and shows where
// its session log file went.
#include <cstdio>

#include "velm_basetool.h"

int main() {
    VELM_SetApplName("example");
    VELM_PRINT_AND_LOG("example host: logging at the usual level 4\n");
    VELM_DEBUG("dropped: below both levels\n");
    VELM_PRINTLOG("written to the session log file and shown here\n");
    VELM_IncTraceSpaces();
    VELM_ERROR("an error, timestamped, one trace level deep\n");
    VELM_DecTraceSpaces();
    const char* path = VELM_GetLogFilePath();
    std::printf("session log file: %s\n", path ? path : "(none)");
    return 0;
}
