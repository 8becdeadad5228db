// The preference cache: conversions of arbitrary sections and key=value texts
// under both settings of the cache switch, interleaved with lookups of names
// drawn from what was converted, into buffers of exactly their size.
#include "fuzz_support.h"

using velm_fuzz::Buffer;

static std::vector<std::string> seen;  // sections and texts converted so far, each up to its '='

static void remember(const std::string& text) { seen.push_back(text.substr(0, text.find('='))); }

static void convert(FuzzedDataProvider& in) {
    Buffer section = velm_fuzz::pick(in, seen, 3);
    std::vector<Buffer> texts;
    std::vector<const char*> values;
    for (int n = in.ConsumeIntegralInRange(0, 8); n > 0; --n) {
        std::string text = velm_fuzz::text(in, 1100);
        texts.emplace_back(text);
        values.push_back(in.ConsumeProbability<float>() < 0.1f ? nullptr : texts.back().get());
        remember(text);
    }
    remember(section ? section.get() : "");
    int count = in.ConsumeIntegralInRange(-2, static_cast<int>(values.size()));
    Buffer cacheName = velm_fuzz::pick(in, seen, 3);
    VELM_CreateProfileFromPref(section, count, values.empty() ? nullptr : values.data(), cacheName,
                               in.ConsumeIntegral<unsigned char>());
}

static void look_up(FuzzedDataProvider& in) {
    Buffer s = velm_fuzz::pick(in, seen, 3), k = velm_fuzz::pick(in, seen, 3);
    Buffer d = velm_fuzz::pick(in, seen, 3, 1100), p = velm_fuzz::pick(in, seen, 3);
    switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: {
            unsigned size = in.ConsumeIntegralInRange(0u, 1100u);
            Buffer returned(size);
            int length = VELM_GetPrivatePreferenceString(s, k, d, returned, size, p);
            FUZZ_CHECK(size ? std::strlen(returned) == std::size_t(length) : length == 0);
            break;
        }
        case 1: case 2: {  // these write up to 1024 bytes
            Buffer returned(1024);
            if (in.ConsumeBool()) VELM_GetProfileString(s, k, returned, d, p);
            else VELM_GetIniString(s, k, returned, d);
            FUZZ_CHECK(std::memchr(returned, '\0', 1024) != nullptr);
            break;
        }
        case 3: VELM_GetProfileInt(s, k, in.ConsumeIntegral<int>(), p); break;
        default: VELM_GetIniInt(s, k, in.ConsumeIntegral<int>());
    }
}

// Every conversion and lookup goes through the log too.
extern "C" int LLVMFuzzerInitialize(int*, char***) { return velm_fuzz::quiet_log(1); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    seen.assign(1, "");
    while (in.remaining_bytes() > 0) {
        int choice = in.ConsumeIntegralInRange(0, 5);
        if (choice <= 1) convert(in);
        else if (choice == 2) VELM_SetDisableLocPrefCache(in.ConsumeIntegral<unsigned char>());
        else if (choice == 3) VELM_DeletePrefProfile();
        else look_up(in);
    }
    // Each input starts from no cache, so that a finding replays alone.
    VELM_SetDisableLocPrefCache(1);
    VELM_DeletePrefProfile();
    VELM_SetDisableLocPrefCache(0);
    velm_fuzz::keep_session_file_small();
    return 0;
}
