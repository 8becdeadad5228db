/* A host that includes the interface and calls through it. With WRONG_ARGUMENTS it must draw a format warning
   (an int where a string belongs); with MICROSOFT_CONVERSIONS, on MinGW, a Windows host's own conversions none. */
#include "velm_basetool.h"

static void log_through(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vVELM_LOG(level, 0, format, args);
    va_end(args);
}

int main(void) {
    char buffer[VELM_RETURNED_SIZE];
    VELM_SetApplName("host");
    VELM_ERROR("%s %d\n", "value", 1);
    VELM_LOG(4, 1, "%ld\n", 2L);
#ifdef WRONG_ARGUMENTS
    VELM_ERROR("%s\n", 42);
    VELM_LOG(4, 0, "%d\n", "text");
#endif
#ifdef MICROSOFT_CONVERSIONS
    VELM_ERROR("%I64d %I64x %I32d %Id %Iu %S\n", -1LL, 2ULL, 4, 5LL, 3ULL, L"w");
#endif
    log_through(4, "%s", "x");
    VELM_GetIniString("Main", "Key", buffer, "default");
    if (VELM_CheckFileRead(buffer) == VELM_CHECK_FILE_READ_FAILED) return 2;
    return VELM_Get_Integer_Value_From_String(buffer, 0) == 0 ? 0 : 1;
}
