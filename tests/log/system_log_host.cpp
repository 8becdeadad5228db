// A host for the system log tests: logs what its first argument names, under
// the name of its second, and prints what the test must compare.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "velm_basetool.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// Every level from 1 to 9, and the direct print, with names for the fields.
void log_levels(const char* id) {
    VELM_SetApplName(id);
    VELM_SetCustName("site");
    VELM_SetProdName("Velm Test");
    for (int level = 1; level <= 9; ++level) VELM_LOG(level, 0, "%s level %d\n", id, level);
    VELM_PRINT_AND_LOG("%s print\n", id);
}

// 8 threads of 50 messages each.
void log_threads(const char* id) {
    VELM_SetApplName(id);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([id, t] {
            for (int m = 0; m < 50; ++m) VELM_ERROR("%s t%d m%d\n", id, t, m);
        });
    }
    for (auto& thread : threads) thread.join();
}

// Many messages into a log that takes none; prints how many calls took more
// than 25 milliseconds, then waits for a line on standard input before one
// more message.
void log_into_stall(const char* id) {
    VELM_SetApplName(id);
    int slow = 0;
    for (int m = 0; m < 1000; ++m) {
        auto start = std::chrono::steady_clock::now();
        VELM_ERROR("%s stalled %d\n", id, m);
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(25)) ++slow;
    }
    std::fprintf(stderr, "slow %d\n", slow);
    char line[8];
    if (std::fgets(line, sizeof line, stdin)) VELM_ERROR("%s after\n", id);
}

#if defined(_WIN32)
// The text the library's message table gives its one event with id as the
// event's string, as Event Viewer formats it.
void format_from_table(const char* id) {
    HMODULE library = GetModuleHandleA("libvelm_basetool.dll");
    char text[256] = "";
    DWORD_PTR strings[] = {reinterpret_cast<DWORD_PTR>(id)};
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, library, 1, 0, text, sizeof text,
                   reinterpret_cast<va_list*>(strings));
    std::printf("table: [%s]\n", text);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string mode = argv[1];
    if (mode == "levels") log_levels(argv[2]);
    if (mode == "threads") log_threads(argv[2]);
    if (mode == "stall") log_into_stall(argv[2]);
#if defined(_WIN32)
    if (mode == "table") format_from_table(argv[2]);
#endif
    return 0;
}
