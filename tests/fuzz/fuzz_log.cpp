// The log writer with arbitrary message texts, levels, flags, trace depths and
// names. The texts go in as "%s" arguments: the format string is the host's own.
#include <cstdarg>

#include "fuzz_support.h"

constexpr int kMaxDepth = 80;  // deep indentation, yet fast runs
static int depth = 0;          // lives on from one input to the next, like the library's

static void log_through_writer(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vVELM_LOG(level, 0, format, args);
    va_end(args);
}

static void (*const writers[])(const char*, ...) = {VELM_TRACE,   VELM_DEBUG,    VELM_WARNING,       VELM_ERROR,
                                                    VELM_CRERROR, VELM_PRINTLOG, VELM_PRINT_AND_LOG, VELM_PRINT_VERINFO};
static void (*const nameSetters[])(const char*) = {VELM_SetApplName, VELM_SetCustName, VELM_SetProdName};
static void (*const levelSetters[])(int) = {VELM_SetLogLevel, VELM_SetLogLevelStdOut, VELM_SetLogLevelSyslog};
static void (*const flagSetters[])(unsigned char) = {VELM_SetLogTimestamp, VELM_SetPrintVerInfoStdOut};

extern "C" int LLVMFuzzerInitialize(int*, char***) { return velm_fuzz::quiet_log(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    while (in.remaining_bytes() > 0) {
        std::string message = velm_fuzz::text(in);
        switch (int choice = in.ConsumeIntegralInRange(0, 14)) {
            case 8: VELM_LOG(in.ConsumeIntegral<int>(), in.ConsumeIntegral<unsigned char>(), "%s", message.c_str()); break;
            case 9: log_through_writer(in.ConsumeIntegral<int>(), nullptr); break;
            case 10: if (depth < kMaxDepth) ++depth, VELM_IncTraceSpaces(); break;
            case 11: depth = std::max(depth - 1, 0), VELM_DecTraceSpaces(); break;
            case 12: levelSetters[in.ConsumeIntegralInRange(0, 2)](in.ConsumeIntegral<int>()); break;
            case 13: flagSetters[in.ConsumeBool()](in.ConsumeIntegral<unsigned char>()); break;
            case 14: nameSetters[in.ConsumeIntegralInRange(0, 2)](in.ConsumeBool() ? message.c_str() : nullptr); break;
            default: writers[choice]("%s", message.c_str()); break;
        }
        FUZZ_CHECK(VELM_GetLogLevel() >= 1 || VELM_GetLogLevel() == -3);
        FUZZ_CHECK(VELM_GetLogLevelStdOut() >= 1);
        FUZZ_CHECK(!VELM_GetLogFilePath() || std::strlen(VELM_GetLogFilePath()) <= 1024);
    }
    velm_fuzz::keep_session_file_small();
    return 0;
}
