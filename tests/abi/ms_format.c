/* Compiles without a warning on MinGW: a Windows host's own conversions. */
#include <stddef.h>
#include "velm_basetool.h"
int main(void) {
    VELM_ERROR("%I64d %I64x %I32d %Id %Iu %S\n", -1LL, 2ULL, 4, (ptrdiff_t)5, (size_t)3, L"w");
    return 0;
}
