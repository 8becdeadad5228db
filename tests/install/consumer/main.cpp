#include <velm_basetool.h>
#include <velm_basetool_version.h>
#include <velm_datum.h>
#include <velm_paramline.h>
#include <velm_string.h>

int main() {
    VELM_SetLogLevel(4);
    return VELM_GetLogLevel() == 4 && VELM_BASETOOL_VERSION_MAJOR > 0 ? 0 : 1;
}
