/* With WRONG_ARGUMENTS it must draw a format warning (an int where a string belongs); without, it
   compiles without a warning on MinGW: a Windows host's own conversions. */
#include "velm_basetool.h"
int main(void) {
#ifdef WRONG_ARGUMENTS
    VELM_ERROR("%s\n", 42);
    VELM_LOG(4, 0, "%d\n", "text");
#else
    VELM_ERROR("%I64d %I64x %I32d %Id %Iu %S\n", -1LL, 2ULL, 4, 5LL, 3ULL, L"w");
#endif
    return 0;
}
