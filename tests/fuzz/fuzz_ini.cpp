// The reader, rereading arbitrary file bytes on each lookup, against the plain walk.
#include <fstream>

#include "../config/reference_walk.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VELM_CONFIG", velm_fuzz::scratch_dir(), 1);
    setenv("VELM_DISABLE_PROPFILE_CACHE", "", 1);
    return velm_fuzz::quiet_log();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string content = in.ConsumeRandomLengthString(8192), file = std::string(velm_fuzz::scratch_dir()) + "/f.ini";
    std::ofstream(file, std::ios::binary) << content;
    std::vector<std::string> kept, names(1, "");
    for (const std::string& piece : velm_test::pieces(content)) {
        velm_test::keep_line(kept, piece);
        names.push_back(piece.substr(piece[0] == '[', piece.find_first_of("]=") - (piece[0] == '[')));
    }
    auto name = [&] {  // mostly a name of the file's, which reaches further than a fresh text
        return velm_fuzz::Buffer(in.ConsumeIntegralInRange(0, 3)
                                     ? names[in.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)]
                                     : velm_fuzz::text(in, 300));
    };
    while (in.remaining_bytes() > 0) {
        velm_fuzz::Buffer section = name(), key = name();
        char returned[1100];
        VELM_GetPrivateProfileString(section, key, "\x01", returned, sizeof returned, file.c_str());
        FUZZ_CHECK(returned == velm_test::walk_lookup(kept, section.get(), key.get()).value_or("\x01"));
    }
    return 0;
}
