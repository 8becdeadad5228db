// Environment lookups that more than one subsystem makes.
#pragma once

namespace velm::common {

// The value of the first of VE_TMP_DIR, TEMP and TMP that is set, or null:
// the directory both the session log file and the configuration fall back on.
const char* temp_directory_from_env();

}  // namespace velm::common
