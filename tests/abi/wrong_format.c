/* Must draw a format warning: an int where the format wants a string. */
#include "velm_basetool.h"

int main(void) {
    VELM_ERROR("%s\n", 42);
    VELM_LOG(4, 0, "%d\n", "text");
    return 0;
}
