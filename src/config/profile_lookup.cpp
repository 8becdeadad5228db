// The everyday lookups of hosts: texts and integers from the preference
// cache, each shown at debug level.
#include "config/returned_buffer.h"
#include "velm_basetool.h"

namespace {

// The profile name of the lookups that name none; it is not consulted.
constexpr char kIniProfile[] = "VELM_ConvertedBaseIniSettings";

}  // namespace

using namespace velm::config;

extern "C" {

void VELM_GetProfileString(const char* section, const char* key, char* returned, const char* defaultValue,
                           const char* profileName) {
    int length = VELM_GetPrivatePreferenceString(section, key, defaultValue, returned, VELM_RETURNED_SIZE, profileName);
    // The copy is cut to fit the buffer, so this guards a caller's assumption
    // rather than a case that can arise.
    if (length >= VELM_RETURNED_SIZE) {
        VELM_ERROR("VELM_GetProfileString Eingabezeile zu lang");
        returned[VELM_RETURNED_SIZE - 1] = '\0';
    }
    VELM_DEBUG("GetProfile: %s.%s=%s\n", shown(section), shown(key), shown(returned));
}

int VELM_GetProfileInt(const char* section, const char* key, int defaultValue, const char* profileName) {
    int value = lookup_int(VELM_GetPrivatePreferenceString, section, key, defaultValue, profileName);
    VELM_DEBUG("GetProfileInt: %s.%s=%d\n", shown(section), shown(key), value);
    return value;
}

void VELM_GetIniString(const char* section, const char* key, char* returned, const char* defaultValue) {
    VELM_GetProfileString(section, key, returned, defaultValue, kIniProfile);
}

int VELM_GetIniInt(const char* section, const char* key, int defaultValue) {
    return VELM_GetProfileInt(section, key, defaultValue, kIniProfile);
}

}  // extern "C"
