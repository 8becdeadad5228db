// Shared by the fuzz targets: a scratch folder, a quiet standard output, caller buffers that
// AddressSanitizer guards byte for byte, arguments drawn from the input, broken promises as findings.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <fuzzer/FuzzedDataProvider.h>  // brings <algorithm>, <cstring>, <string>, <vector>

#include "velm_basetool.h"

#define FUZZ_CHECK(c) \
    ((c) ? (void)0 : (std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #c), std::abort()))

namespace velm_fuzz {

// A folder of this process's own in memory (a file rewritten per input waits for the disk), removed at exit.
inline const char* scratch_dir() {
    static char name[] = "/dev/shm/velm_fuzz_XXXXXX";
    static const bool made = mkdtemp(name) && !std::atexit([] { std::filesystem::remove_all(name); });
    FUZZ_CHECK(made);
    return name;
}

// Every message into a session log file in the scratch folder, dropped past 1 MiB; the echo into /dev/null.
inline int quiet_log() {
    setenv("VE_TMP_DIR", scratch_dir(), 1);
    setenv("VELM_LOG_MAX_SIZE", "1M", 1);
    setenv("VELM_LOG_ROLLED_FILES", "0", 1);
    FUZZ_CHECK(std::freopen("/dev/null", "w", stdout));
    VELM_SetLogLevel(1);
    return 0;
}

// A heap buffer of exactly n bytes (0x5a each) or of a text and its terminator.
struct Buffer : std::unique_ptr<char[]> {
    explicit Buffer(std::size_t n) : unique_ptr(new char[n]) { std::memset(get(), 0x5a, n); }
    explicit Buffer(const std::string& s) : Buffer(s.size() + 1) { std::memcpy(get(), s.c_str(), s.size() + 1); }
    operator char*() const { return get(); }
};

// A text of at most max_length bytes without NUL, so that the library sees the whole of it.
inline std::string text(FuzzedDataProvider& in, std::size_t max_length = 2048) {
    std::string s = in.ConsumeRandomLengthString(max_length);
    s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
    return s;
}

}  // namespace velm_fuzz
