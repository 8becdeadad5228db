// The configuration directory, worked out from the environment at the first
// call and then kept for the life of the process.
#include <cstdio>
#include <mutex>

#include "common/environment.h"
#include "common/text.h"
#include "platform/platform.h"
#include "velm_basetool.h"

namespace velm::config {

namespace {

struct CfgPathState {
    char path[261] = "";  // the configuration directory; empty until the first call
    std::once_flag done;  // the first call, whichever threads meet there, works it out
};

CfgPathState cfgPathState;

// The first of the temporary-directory variables that is set, else the
// platform's own.
const char* fallback_directory() {
    const char* dir = common::temp_directory_from_env();
    return dir ? dir : platform::fallback_config_directory();
}

// Values that do not fit are cut to the 260 characters of the buffer.
void work_out_path(char* path, std::size_t size) {
    if (const char* config = platform::get_env("VELM_CONFIG")) {
        common::copy_cut(path, size, config);
    } else if (const char* local = platform::get_env("VELM_LOCAL")) {
        std::snprintf(path, size, "%s%cconfig", local, platform::path_separator());
    } else {
        common::copy_cut(path, size, fallback_directory());
        // Not a log line: the log may not be set up by the time a host asks.
        std::printf("Warning VELM_LOCAL or VELM_CONFIG not set. Set to:%s\n", path);
    }
}

}  // namespace

}  // namespace velm::config

extern "C" const char* VELM_GetCfgPath(void) {
    using velm::config::cfgPathState;
    // Other callers wait for the first one, so none sees a half-written path
    // and the warning is printed once.
    std::call_once(cfgPathState.done, [] { velm::config::work_out_path(cfgPathState.path, sizeof cfgPathState.path); });
    return cfgPathState.path;
}
