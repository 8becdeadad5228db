#include "common/environment.h"

#include <initializer_list>

#include "platform/platform.h"

namespace velm::common {

const char* temp_directory_from_env() {
    for (const char* name : {"VE_TMP_DIR", "TEMP", "TMP"}) {
        if (const char* dir = platform::get_env(name)) return dir;
    }
    return nullptr;
}

bool has_configuration() { return platform::get_env("VELM_CONFIG") || platform::get_env("VELM_LOCAL"); }

bool configuration_allows_ini() { return platform::get_env("VELM_LIBUSER_EXITS_INI") || has_configuration(); }

}  // namespace velm::common
