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

}  // namespace velm::common
