// Shared by the fuzz targets: a private scratch folder, a quiet standard
// output, caller buffers that AddressSanitizer guards byte for byte, and a
// check that turns a broken promise into a finding.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include "log/log_state.h"

namespace velm_fuzz {

// A folder of this process's own, removed when the process ends normally.
inline const char* scratch_dir() {
    static char name[] = "/tmp/velm_fuzz_XXXXXX";
    static const bool made = [] {
        if (!mkdtemp(name)) std::abort();
        std::atexit([] { std::filesystem::remove_all(name); });
        return true;
    }();
    (void)made;
    return name;
}

// Points the session log file into the scratch folder and silences standard
// output, where the library echoes log lines: millions of runs would flood
// the terminal.
inline void quiet_log() {
    setenv("VE_TMP_DIR", scratch_dir(), 1);
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

// The session log file would grow without end over millions of runs.
inline void keep_session_file_small() {
    std::FILE* file = velm::log::logState.logFile;
    if (file && std::ftell(file) > (1 << 20)) {
        std::rewind(file);
        if (ftruncate(fileno(file), 0) != 0) std::abort();
    }
}

// A heap buffer of exactly size bytes filled with fill: one byte past it is
// already outside the allocation (size 0 gives a valid pointer to no byte).
struct ExactBuffer {
    ExactBuffer(std::size_t n, char fill = '\x5a') : size(n), bytes(new char[n]) {
        std::memset(bytes.get(), fill, n);
    }
    char* data() const { return bytes.get(); }
    std::size_t size;
    std::unique_ptr<char[]> bytes;
};

// text and its terminator in exactly strlen + 1 bytes.
inline ExactBuffer exact_copy(const std::string& text) {
    ExactBuffer copy(text.size() + 1);
    std::memcpy(copy.data(), text.c_str(), text.size() + 1);
    return copy;
}

// A text of at most max_length bytes without NUL, so that the library sees
// the whole of it.
inline std::string text(FuzzedDataProvider& in, std::size_t max_length = 2048) {
    std::string s = in.ConsumeRandomLengthString(max_length);
    s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
    return s;
}

}  // namespace velm_fuzz

// A promise of the interface that the input broke: report it as a crash.
#define FUZZ_CHECK(condition)                                                     \
    do {                                                                          \
        if (!(condition)) {                                                       \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)
