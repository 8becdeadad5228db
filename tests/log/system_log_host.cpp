// A host for the system log tests: logs what its first argument names, under the name of its second.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "velm_basetool.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

void log_levels(const char* id) {
    VELM_SetCustName("site");
    VELM_SetProdName("Velm Test");
    for (int level = 1; level <= 9; ++level) VELM_LOG(level, 0, "%s level %d\n", id, level);
    VELM_PRINT_AND_LOG("%s print\n", id);
}

// Eight threads, then one message from each side of a fork (the child sends on a socket of its own), all
// at level 4 under a file and standard-output level of 6: the syslog level, never set, counts as 4.
void log_threads(const char* id) {
    VELM_SetLogLevel(6);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([id, t] {
            for (int m = 0; m < 50; ++m) VELM_ERROR("%s t%d m%d\n", id, t, m);
        });
    for (auto& thread : threads) thread.join();
#if !defined(_WIN32)
    pid_t child = fork();
    VELM_ERROR("%s %s\n", id, child == 0 ? "child" : "parent");
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
#endif
}

// Into a log that takes nothing: prints how many calls took over 50 ms, then logs once more when a line comes in.
void log_into_stall(const char* id) {
    int slow = 0;
    for (int m = 0; m < 600; ++m) {
        auto start = std::chrono::steady_clock::now();
        VELM_ERROR("%s stalled %d\n", id, m);
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(50)) ++slow;
    }
    std::fprintf(stderr, "slow %d\n", slow);
    char line[8];
    if (std::fgets(line, sizeof line, stdin)) VELM_ERROR("%s after\n", id);
}

// The text the library's message table gives its one event with id as its string, as Event Viewer shows it.
void log_table([[maybe_unused]] const char* id) {
#if defined(_WIN32)
    char text[256] = "";
    DWORD_PTR strings[] = {reinterpret_cast<DWORD_PTR>(id)};
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                   GetModuleHandleA("libvelm_basetool.dll"), 1, 0, text, sizeof text,
                   reinterpret_cast<va_list*>(strings));
    std::printf("table: [%s]\n", text);
#endif
}

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    VELM_SetApplName(argv[2]);
    if (mode == "levels") log_levels(argv[2]);
    if (mode == "threads") log_threads(argv[2]);
    if (mode == "stall") log_into_stall(argv[2]);
    if (mode == "table") log_table(argv[2]);
    return 0;
}
