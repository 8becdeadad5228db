// The INI reader: arbitrary file bytes written to a file, with and without
// the file cache, or a file that cannot be used; then lookups of sections and
// keys, often cut from the file's own lines, into buffers of exactly their size.
#include <fstream>

#include "fuzz_support.h"

using velm_fuzz::Buffer;

// Cached files get fresh names up to this many; then names come round again
// and are answered from the cache, so that the table stays bounded.
constexpr unsigned kCachedNames = 4096;
static unsigned cachedRuns = 0;
static std::vector<std::string> sections, keys;  // each line up to its ']' or '='

static void look_up(FuzzedDataProvider& in, const char* file) {
    Buffer section = velm_fuzz::pick(in, sections, 4), key = velm_fuzz::pick(in, keys, 4);
    if (in.ConsumeBool())
        return (void)VELM_GetPrivateProfileInt(section, key, in.ConsumeIntegral<int>(), file);
    bool noDefault = in.ConsumeBool();
    Buffer defaultText(velm_fuzz::text(in, 1100));
    unsigned size = in.ConsumeIntegralInRange(0u, 1100u);
    Buffer returned = in.ConsumeProbability<float>() < 0.05f ? Buffer() : Buffer(size);
    int length = VELM_GetPrivateProfileString(section, key, noDefault ? nullptr : defaultText.get(),
                                              returned, size, file);
    // An unterminated text would take strlen past the buffer: a finding too.
    FUZZ_CHECK(returned && size ? std::strlen(returned) == std::size_t(length) || length == 0
                                : length == 0);
}

// Every line kept and every failure goes through the log too.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VELM_CONFIG", velm_fuzz::scratch_dir(), 1);
    return velm_fuzz::quiet_log(1);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int mode = in.ConsumeIntegralInRange(0, 5);
    std::string content = in.ConsumeRandomLengthString(4096);
    sections.clear(), keys.clear();
    for (std::size_t start = 0, end; start <= content.size(); start = end + 1) {
        end = std::min(content.find('\n', start), content.size());
        std::string line = content.substr(start, end - start);
        std::size_t open = line.compare(0, 1, "[") == 0;
        sections.push_back(line.substr(open, line.find(']') - open));
        keys.push_back(line.substr(0, line.find('=')));
    }
    // Cached, read anew on every lookup, missing, a directory, not read at all
    // for want of a configured installation, or an over-long name.
    std::string dir = velm_fuzz::scratch_dir();
    unsigned run = mode == 0 ? cachedRuns++ : 0;
    std::string file = mode == 0   ? dir + "/c" + std::to_string(run % kCachedNames) + ".ini"
                       : mode == 1 ? dir + "/u.ini"
                       : mode == 2 ? dir + "/missing/" + velm_fuzz::text(in, 64)
                       : mode == 3 ? dir
                       : mode == 4 ? dir + "/n.ini"
                                   : dir + "/" + std::string(300, 'n');
    if (mode == 1) setenv("VELM_DISABLE_PROPFILE_CACHE", "", 1);
    if (mode == 4) unsetenv("VELM_CONFIG");
    if (mode == 1 || (mode == 0 && run < kCachedNames))
        std::ofstream(file, std::ios::binary) << content;
    while (in.remaining_bytes() > 0) look_up(in, file.c_str());
    unsetenv("VELM_DISABLE_PROPFILE_CACHE");
    setenv("VELM_CONFIG", dir.c_str(), 1);
    velm_fuzz::keep_session_file_small();
    return 0;
}
