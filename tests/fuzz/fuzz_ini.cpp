// The INI reader: arbitrary file bytes written to a file, then lookups of
// sections and keys drawn from the input (often from the file's own lines),
// with and without the file cache, and against files that cannot be used.
// Every lookup writes into a buffer of exactly its size.
#include <fstream>
#include <vector>

#include "fuzz_support.h"
#include "velm_basetool.h"

namespace {

// Cached files get fresh names up to this many; then names come round again
// and are answered from the cache, so that the table stays bounded.
constexpr unsigned kCachedNames = 4096;
unsigned cachedRuns = 0;

std::string scratch_file(const std::string& name) {
    return std::string(velm_fuzz::scratch_dir()) + "/" + name;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> lines_of(const std::string& content) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= content.size();) {
        std::size_t end = std::min(content.find('\n', start), content.size());
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A section or key: null, from the input, or cut out of one of the lines.
std::string pick(FuzzedDataProvider& in, const std::vector<std::string>& lines, bool section,
                 bool& null) {
    null = false;
    switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: null = true; return "";
        case 1: return velm_fuzz::text(in, 300);
        default: {
            std::string line = lines[in.ConsumeIntegralInRange<std::size_t>(0, lines.size() - 1)];
            std::size_t end = line.find(section ? ']' : '=');
            std::size_t begin = section && !line.empty() && line[0] == '[' ? 1 : 0;
            return line.substr(begin, end == std::string::npos ? end : end - begin);
        }
    }
}

void look_up(FuzzedDataProvider& in, const std::vector<std::string>& lines,
             const std::string& fileName) {
    bool noSection, noKey;
    std::string section = pick(in, lines, true, noSection);
    std::string key = pick(in, lines, false, noKey);
    velm_fuzz::ExactBuffer s = velm_fuzz::exact_copy(section), k = velm_fuzz::exact_copy(key);
    const char* sectionArg = noSection ? nullptr : s.data();
    const char* keyArg = noKey ? nullptr : k.data();
    if (in.ConsumeBool()) {
        VELM_GetPrivateProfileInt(sectionArg, keyArg, in.ConsumeIntegral<int>(), fileName.c_str());
        return;
    }
    bool noDefault = in.ConsumeBool();
    std::string defaultText = velm_fuzz::text(in, 1100);
    unsigned size = in.ConsumeIntegralInRange(0u, 1100u);
    bool noReturned = in.ConsumeProbability<float>() < 0.05f;
    velm_fuzz::ExactBuffer returned(size);
    int length = VELM_GetPrivateProfileString(sectionArg, keyArg,
                                              noDefault ? nullptr : defaultText.c_str(),
                                              noReturned ? nullptr : returned.data(), size,
                                              fileName.c_str());
    if (noReturned || size == 0) {
        FUZZ_CHECK(length == 0);
    } else {
        FUZZ_CHECK(std::memchr(returned.data(), '\0', size) != nullptr);
        FUZZ_CHECK(length == 0 || static_cast<std::size_t>(length) == std::strlen(returned.data()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velm_fuzz::quiet_log();
    setenv("VELM_CONFIG", velm_fuzz::scratch_dir(), 1);
    VELM_SetLogLevel(1);  // every line kept and every failure goes through the log too
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int mode = in.ConsumeIntegralInRange(0, 5);
    std::string content = in.ConsumeRandomLengthString(4096);
    std::vector<std::string> lines = lines_of(content);
    std::string fileName;
    switch (mode) {
        case 0: {  // read once into the cache, then answered from it
            unsigned n = cachedRuns++;
            fileName = scratch_file("c" + std::to_string(n % kCachedNames) + ".ini");
            if (n < kCachedNames) write_file(fileName, content);
            break;
        }
        case 1:  // read anew on every lookup
            setenv("VELM_DISABLE_PROPFILE_CACHE", "", 1);
            fileName = scratch_file("u.ini");
            write_file(fileName, content);
            break;
        case 2: fileName = scratch_file("missing/" + velm_fuzz::text(in, 64)); break;
        case 3: fileName = velm_fuzz::scratch_dir(); break;  // a directory
        case 4:  // no configured installation: files are not read at all
            unsetenv("VELM_CONFIG");
            fileName = scratch_file("n.ini");
            break;
        default: fileName = scratch_file(std::string(300, 'n')); break;  // over-long name
    }
    while (in.remaining_bytes() > 0) look_up(in, lines, fileName);
    unsetenv("VELM_DISABLE_PROPFILE_CACHE");
    setenv("VELM_CONFIG", velm_fuzz::scratch_dir(), 1);
    velm_fuzz::keep_session_file_small();
    return 0;
}
