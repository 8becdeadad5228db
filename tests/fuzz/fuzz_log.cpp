// The log writer with arbitrary message texts, levels, timestamp flags, trace
// depths and names. The texts go in as "%s" arguments: the format string is
// the host's own and not an input the library defends against.
#include <cstdarg>

#include "fuzz_support.h"
#include "velm_basetool.h"

namespace {

// Deep enough to need several chunks of indentation, shallow enough to keep
// runs fast; the depth lives on from one input to the next.
constexpr int kMaxDepth = 80;
int depth = 0;

void log_through_writer(int level, unsigned char timestamp, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vVELM_LOG(level, timestamp, format, args);
    va_end(args);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velm_fuzz::quiet_log();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    while (in.remaining_bytes() > 0) {
        std::string message = velm_fuzz::text(in);
        const char* m = message.c_str();
        switch (in.ConsumeIntegralInRange(0, 17)) {
            case 0: VELM_TRACE("%s", m); break;
            case 1: VELM_DEBUG("%s", m); break;
            case 2: VELM_WARNING("%s", m); break;
            case 3: VELM_ERROR("%s", m); break;
            case 4: VELM_CRERROR("%s", m); break;
            case 5: VELM_PRINTLOG("%s", m); break;
            case 6: VELM_PRINT_AND_LOG("%s", m); break;
            case 7: VELM_PRINT_VERINFO("%s", m); break;
            case 8: VELM_LOG(in.ConsumeIntegral<int>(), in.ConsumeIntegral<unsigned char>(), "%s", m); break;
            case 9: log_through_writer(in.ConsumeIntegral<int>(), 0, nullptr); break;
            case 10:
                if (depth < kMaxDepth) ++depth, VELM_IncTraceSpaces();
                break;
            case 11:
                if (depth > 0) --depth;
                VELM_DecTraceSpaces();
                break;
            case 12: VELM_SetLogLevel(in.ConsumeIntegral<int>()); break;
            case 13: VELM_SetLogLevelStdOut(in.ConsumeIntegral<int>()); break;
            case 14: VELM_SetLogLevelSyslog(in.ConsumeIntegral<int>()); break;
            case 15: VELM_SetLogTimestamp(in.ConsumeIntegral<unsigned char>()); break;
            case 16: VELM_SetPrintVerInfoStdOut(in.ConsumeIntegral<unsigned char>()); break;
            case 17: {
                const char* name = in.ConsumeBool() ? m : nullptr;
                switch (in.ConsumeIntegralInRange(0, 2)) {
                    case 0: VELM_SetApplName(name); break;
                    case 1: VELM_SetCustName(name); break;
                    default: VELM_SetProdName(name); break;
                }
                break;
            }
        }
        FUZZ_CHECK(VELM_GetLogLevel() >= 1 || VELM_GetLogLevel() == -3);
        FUZZ_CHECK(VELM_GetLogLevelStdOut() >= 1);
        const char* path = VELM_GetLogFilePath();
        FUZZ_CHECK(!path || std::strlen(path) <= 1024);
    }
    velm_fuzz::keep_session_file_small();
    return 0;
}
