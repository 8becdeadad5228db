// The indexed profile against the plain walk: arbitrary bytes cut into pieces
// as the reader cuts a file, and the same bytes read from a file (anew on each
// lookup), then lookups of sections and keys drawn from the pieces, which must
// answer as the walk over the kept lines does.
#include <fstream>

using namespace std::string_literals;

#include "../config/reference_walk.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VELM_CONFIG", velm_fuzz::scratch_dir(), 1);
    setenv("VELM_DISABLE_PROPFILE_CACHE", "", 1);
    return velm_fuzz::quiet_log();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string content = in.ConsumeRandomLengthString(8192), file = velm_fuzz::scratch_dir() + "/f.ini"s;
    std::ofstream(file, std::ios::binary) << content;
    velm::config::Profile added("fuzz"), stored("fuzz");
    std::vector<std::string> kept = velm_test::load(content, added, stored), names(1, "");
    for (std::size_t at = 0; at < content.size(); at = std::min(content.find('\n', at), content.size() - 1) + 1)
        names.push_back(content.substr(at + (content[at] == '['), content.find_first_of("]=\n", at) - at - (content[at] == '[')));
    FUZZ_CHECK(added.line_count() == static_cast<int>(kept.size()) && stored.line_count() == added.line_count());
    while (in.remaining_bytes() > 0) {
        velm_fuzz::Buffer section = velm_fuzz::pick(in, names, 4), key = velm_fuzz::pick(in, names, 4);
        if (!section || !key) continue;
        std::optional<std::string> expected = velm_test::walk_lookup(kept, section.get(), key.get());
        FUZZ_CHECK(velm_test::found(added, section, key) == expected && velm_test::found(stored, section, key) == expected);
        char returned[1100];
        VELM_GetPrivateProfileString(section, key, "\x01", returned, sizeof returned, file.c_str());
        FUZZ_CHECK(returned == expected.value_or("\x01"));
    }
    return 0;
}
