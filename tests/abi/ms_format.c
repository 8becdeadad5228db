/* Compiles without a warning on MinGW: a Windows host's own conversions. */
#include "velm_basetool.h"
int main(void) {
    VELM_ERROR("%I64d %I64x %I32d %Id %Iu %S\n", -1LL, 2ULL, 4, 5LL, 3ULL, L"w");
    return 0;
}
