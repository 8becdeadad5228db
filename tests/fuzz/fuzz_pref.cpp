// The preference cache and the profile lookups: conversions of arbitrary
// sections and key=value texts under both settings of the cache switch,
// interleaved with lookups of sections and keys drawn from what was
// converted, each into a buffer of exactly its size.
#include <vector>

#include "fuzz_support.h"
#include "velm_basetool.h"

namespace {

struct Input {
    FuzzedDataProvider& in;
    std::vector<std::string> seen{""};  // sections and values converted so far

    // Null, a fresh text, or one seen before cut at its first '='.
    const char* pick(std::string& storage, std::size_t max_length = 300) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0: return nullptr;
            case 1: storage = velm_fuzz::text(in, max_length); break;
            default:
                storage = seen[in.ConsumeIntegralInRange<std::size_t>(0, seen.size() - 1)];
                storage = storage.substr(0, storage.find('='));
        }
        return storage.c_str();
    }
};

void convert(Input& input) {
    FuzzedDataProvider& in = input.in;
    std::string section, cacheName;
    const char* sectionArg = input.pick(section);
    std::vector<std::string> texts(in.ConsumeIntegralInRange(0, 8));
    std::vector<const char*> values;
    for (std::string& text : texts) {
        text = velm_fuzz::text(in, 1100);
        values.push_back(in.ConsumeProbability<float>() < 0.1f ? nullptr : text.c_str());
        input.seen.push_back(text);
    }
    input.seen.push_back(section);
    int count = in.ConsumeIntegralInRange(-2, static_cast<int>(values.size()));
    VELM_CreateProfileFromPref(sectionArg, count, values.empty() ? nullptr : values.data(),
                               input.pick(cacheName), in.ConsumeIntegral<unsigned char>());
}

void look_up(Input& input) {
    FuzzedDataProvider& in = input.in;
    std::string section, key, defaultText, profile;
    const char* s = input.pick(section);
    const char* k = input.pick(key);
    const char* d = input.pick(defaultText, 1100);
    const char* p = input.pick(profile);
    switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: {
            unsigned size = in.ConsumeIntegralInRange(0u, 1100u);
            velm_fuzz::ExactBuffer returned(size);
            int length = VELM_GetPrivatePreferenceString(s, k, d, returned.data(), size, p);
            FUZZ_CHECK(size == 0 ? length == 0
                                 : std::strlen(returned.data()) == static_cast<std::size_t>(length));
            break;
        }
        case 1:
        case 2: {
            velm_fuzz::ExactBuffer returned(1024);
            if (in.ConsumeBool()) VELM_GetProfileString(s, k, returned.data(), d, p);
            else VELM_GetIniString(s, k, returned.data(), d);
            FUZZ_CHECK(std::memchr(returned.data(), '\0', 1024) != nullptr);
            break;
        }
        case 3: VELM_GetProfileInt(s, k, in.ConsumeIntegral<int>(), p); break;
        default: VELM_GetIniInt(s, k, in.ConsumeIntegral<int>()); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velm_fuzz::quiet_log();
    VELM_SetLogLevel(1);  // every conversion and lookup goes through the log too
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Input input{in};
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: case 1: convert(input); break;
            case 2: VELM_SetDisableLocPrefCache(in.ConsumeIntegral<unsigned char>()); break;
            case 3: VELM_DeletePrefProfile(); break;
            default: look_up(input); break;
        }
    }
    // Each input starts from no cache, so that a finding replays alone.
    VELM_SetDisableLocPrefCache(1);
    VELM_DeletePrefProfile();
    VELM_SetDisableLocPrefCache(0);
    velm_fuzz::keep_session_file_small();
    return 0;
}
