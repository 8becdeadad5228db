// The log writer with arbitrary message texts, levels, timestamp flags, trace
// depths and names. The texts go in as "%s" arguments: the format string is
// the host's own and not an input the library defends against.
#include <cstdarg>

#include "fuzz_support.h"

// Deep indentation, yet fast runs; the depth lives on from one input to the next.
constexpr int kMaxDepth = 80;
static int depth = 0;

static void log_through_writer(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vVELM_LOG(level, 0, format, args);
    va_end(args);
}

static void (*const writers[])(const char*, ...) = {
    VELM_TRACE,   VELM_DEBUG,    VELM_WARNING,       VELM_ERROR,
    VELM_CRERROR, VELM_PRINTLOG, VELM_PRINT_AND_LOG, VELM_PRINT_VERINFO};
static void (*const nameSetters[])(const char*) = {VELM_SetApplName, VELM_SetCustName,
                                                   VELM_SetProdName};

extern "C" int LLVMFuzzerInitialize(int*, char***) { return velm_fuzz::quiet_log(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    auto number = [&] { return in.ConsumeIntegral<int>(); };
    auto flag = [&] { return in.ConsumeIntegral<unsigned char>(); };
    while (in.remaining_bytes() > 0) {
        std::string message = velm_fuzz::text(in);
        const char* m = message.c_str();
        switch (int choice = in.ConsumeIntegralInRange(0, 17)) {
            case 8: VELM_LOG(number(), flag(), "%s", m); break;
            case 9: log_through_writer(number(), nullptr); break;
            case 10: if (depth < kMaxDepth) ++depth, VELM_IncTraceSpaces(); break;
            case 11: depth = std::max(depth - 1, 0), VELM_DecTraceSpaces(); break;
            case 12: VELM_SetLogLevel(number()); break;
            case 13: VELM_SetLogLevelStdOut(number()); break;
            case 14: VELM_SetLogLevelSyslog(number()); break;
            case 15: VELM_SetLogTimestamp(flag()); break;
            case 16: VELM_SetPrintVerInfoStdOut(flag()); break;
            case 17: {
                const char* name = in.ConsumeBool() ? m : nullptr;
                nameSetters[in.ConsumeIntegralInRange(0, 2)](name);
                break;
            }
            default: writers[choice]("%s", m); break;
        }
        FUZZ_CHECK(VELM_GetLogLevel() >= 1 || VELM_GetLogLevel() == -3);
        FUZZ_CHECK(VELM_GetLogLevelStdOut() >= 1);
        const char* path = VELM_GetLogFilePath();
        FUZZ_CHECK(!path || std::strlen(path) <= 1024);
    }
    velm_fuzz::keep_session_file_small();
    return 0;
}
