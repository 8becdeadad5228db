// The configuration readers against the plain walk over the lines each keeps: an INI file of arbitrary
// bytes, reread on each lookup, and the preference cache under both switch settings.
#include <fstream>

#include "../config/reference_walk.h"
#include "fuzz_support.h"

static std::vector<std::string> seen(1, ""), lines, fileLines;  // names met so far; what the cache, the file hold
static int disabled = 0;                                        // the switch as last set
static const std::string file = std::string(velm_fuzz::scratch_dir()) + "/f.ini";

// A name met so far, up to a NUL as the library reads it, or a fresh text.
static std::string name(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? seen[in.ConsumeIntegralInRange<std::size_t>(0, seen.size() - 1)].c_str()
                            : velm_fuzz::text(in, 300);
}

static void write_file(FuzzedDataProvider& in) {
    std::string content = in.ConsumeRandomLengthString(8192);
    std::ofstream(file, std::ios::binary) << content;
    fileLines.clear();
    for (const std::string& piece : velm_test::pieces(content)) {
        velm_test::keep_line(fileLines, piece);
        seen.push_back(piece.substr(piece[0] == '[', piece.find_first_of("]=") - (piece[0] == '[')));
    }
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

static void set_switch(int value) {
    disabled = value;
    VELM_SetDisableLocPrefCache(value);
    FUZZ_CHECK(VELM_IsLocPrefCacheDisabled() == value);
}

// A lookup in the file or in the cache, into a caller buffer of any size.
static void look_up(FuzzedDataProvider& in, bool inFile) {
    velm_fuzz::Buffer section(name(in)), key(name(in));
    std::string fallback = velm_fuzz::text(in, 40);
    unsigned size = in.ConsumeIntegralInRange(0u, 1100u);
    velm_fuzz::Buffer returned(size);
    int length = inFile ? VELM_GetPrivateProfileString(section, key, fallback.c_str(), returned, size, file.c_str())
                        : VELM_GetPrivatePreferenceString(section, key, fallback.c_str(), returned, size, "");
    if (size == 0) return FUZZ_CHECK(length == 0);
    std::string want = velm_test::walk_lookup(inFile ? fileLines : lines, section.get(), key.get())
                           .value_or(fallback.size() < size ? fallback : "");
    FUZZ_CHECK(std::string(returned.get(), length) == want.substr(0, size - 1) && returned[length] == '\0');
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VELM_CONFIG", velm_fuzz::scratch_dir(), 1);
    setenv("VELM_DISABLE_PROPFILE_CACHE", "", 1);
    return velm_fuzz::quiet_log();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::ofstream(file, std::ios::trunc);
    fileLines.clear();
    while (in.remaining_bytes() > 0) {
        const int step = in.ConsumeIntegralInRange(0, 5);
        if (step == 0) convert(in);
        if (step == 1) set_switch(in.ConsumeIntegralInRange(0, 2));
        if (step == 2) VELM_DeletePrefProfile();
        if (step == 2 && disabled) lines.clear();
        if (step == 3) write_file(in);
        if (step >= 4) look_up(in, step == 4);
    }
    // Each input starts from an empty file and no cache, so that a finding replays alone.
    set_switch(1);
    VELM_DeletePrefProfile();
    set_switch(0);
    lines.clear();
    seen.assign(1, "");
    return 0;
}
