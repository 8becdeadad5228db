// Environment lookups that more than one subsystem makes.
#pragma once

namespace velm::common {

// The value of the first of VE_TMP_DIR, TEMP and TMP that is set, or null:
// the directory both the session log file and the configuration fall back on.
const char* temp_directory_from_env();

// Whether VELM_CONFIG or VELM_LOCAL is set: the installation has a
// configuration of its own.
bool has_configuration();

// Whether INI files may be read at all: VELM_LIBUSER_EXITS_INI, VELM_CONFIG
// or VELM_LOCAL is set.
bool configuration_allows_ini();

}  // namespace velm::common
