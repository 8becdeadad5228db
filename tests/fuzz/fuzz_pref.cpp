// The preference cache under both switch settings against the walk over the converted lines.
#include "../config/reference_walk.h"
#include "fuzz_support.h"

static std::vector<std::string> seen(1, ""), lines;  // names met so far; what the cache holds
static int disabled = 0;                             // the switch as last set

static std::string name(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? seen[in.ConsumeIntegralInRange<std::size_t>(0, seen.size() - 1)]
                            : velm_fuzz::text(in, 300);
}

static void convert(FuzzedDataProvider& in) {
    std::string section = name(in);
    std::vector<std::string> texts(in.ConsumeIntegralInRange(0, 8));
    std::vector<const char*> values;
    for (std::string& text : texts) {
        text = velm_fuzz::text(in, 1100);
        values.push_back(text.c_str());
        seen.push_back(text.substr(0, text.find('=')));
    }
    bool keep = in.ConsumeBool();
    VELM_CreateProfileFromPref(section.c_str(), int(values.size()), values.data(), "P", keep);
    if (!keep && disabled) lines.clear();
    for (const std::string& line : lines)
        if (velm_test::same_ignoring_case(line, "[" + section + "]")) return;
    lines.push_back("[" + section + "]");
    seen.push_back(section);
    for (const std::string& text : texts) velm_test::keep_line(lines, text.substr(0, 1024));
}

static void look_up(FuzzedDataProvider& in) {
    std::string section = name(in), key = name(in), fallback = velm_fuzz::text(in, 40);
    unsigned size = in.ConsumeIntegralInRange(0u, 1100u);
    velm_fuzz::Buffer returned(size);
    int length = VELM_GetPrivatePreferenceString(section.c_str(), key.c_str(), fallback.c_str(), returned, size, "");
    if (size == 0) return FUZZ_CHECK(length == 0);
    std::string want = velm_test::walk_lookup(lines, section, key).value_or(fallback.size() < size ? fallback : "");
    FUZZ_CHECK(std::string(returned.get(), length) == want.substr(0, size - 1) && returned[length] == '\0');
}

extern "C" int LLVMFuzzerInitialize(int*, char***) { return velm_fuzz::quiet_log(1); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                convert(in);
                break;
            case 1:
                disabled = in.ConsumeIntegralInRange(0, 2);
                VELM_SetDisableLocPrefCache(disabled);
                FUZZ_CHECK(VELM_IsLocPrefCacheDisabled() == disabled);
                break;
            case 2:
                VELM_DeletePrefProfile();
                if (disabled) lines.clear();
                break;
            default:
                look_up(in);
        }
    }
    // Each input starts from no cache, so that a finding replays alone.
    VELM_SetDisableLocPrefCache(1);
    VELM_DeletePrefProfile();
    VELM_SetDisableLocPrefCache(0);
    disabled = 0;
    lines.clear();
    seen.assign(1, "");
    velm_fuzz::keep_session_file_small();
    return 0;
}
