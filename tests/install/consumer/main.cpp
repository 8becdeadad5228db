#include <velm_basetool.h>
#include <velm_basetool_version.h>
#include <velm_datum.h>
#include <velm_paramline.h>
#include <velm_string.h>

#include <cstring>

int main() {
    VELM_SetLogLevel(4);
    bool versionMatches = std::strncmp(VELM_BASETOOL_VERSION_TEXT, "V", 1) == 0 &&
                          VELM_BASETOOL_VERSION_MAJOR > 0;
    return VELM_GetLogLevel() == 4 && versionMatches ? 0 : 1;
}
