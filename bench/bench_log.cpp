// A dropped message and an accepted one: the library's log against the least
// work the same effect needs and against spdlog.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "bench_support.h"
#include "velm_basetool.h"

#ifdef VELM_BENCH_HAVE_SPDLOG
#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#endif

// Every allocation of the process is counted, the library's included (a
// shared library's calls to malloc find the program's), so that a row can
// say what its line costs the heap. glibc's own entry points do the work.
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);
static std::atomic<long> allocations{0};
extern "C" void* malloc(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}

namespace velm_bench {

namespace {

// Shows the allocations per iteration of the loop that ran since before.
void count_allocations(benchmark::State& state, long before) {
    long made = allocations.load(std::memory_order_relaxed) - before;
    state.counters["allocs"] = static_cast<double>(made) / static_cast<double>(state.iterations());
}

constexpr char kPayload[] = "order 4711 accepted for customer Quillan-Mor";

// The level the limit compares against; it lives in memory, as the log's
// levels do, and the benchmark keeps the compiler from folding it away.
int limitLevel = 4;

void dropped_library(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) VELM_DEBUG("dropped message %d: %s\n", ++n, kPayload);
}

void dropped_limit(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(limitLevel);
        if (limitLevel <= 2) std::printf("dropped message %d: %s\n", ++n, kPayload);
    }
}

// Standard output taken out of the way for one row: its level above every
// message's, the file's level untouched.
struct FileOnly {
    int before = VELM_GetLogLevelStdOut();
    FileOnly() { VELM_SetLogLevelStdOut(9); }
    ~FileOnly() { VELM_SetLogLevelStdOut(before); }
};

// The accepted line as the library writes it to the session file alone,
// without a timestamp, on disk when the call returns.
void accepted_library(benchmark::State& state) {
    FileOnly fileOnly;
    int n = 0;
    VELM_LOG(4, 0, "accepted message %d: %s\n", n, kPayload);  // the file is created here
    long before = allocations.load(std::memory_order_relaxed);
    for (auto _ : state) VELM_LOG(4, 0, "accepted message %d: %s\n", ++n, kPayload);
    count_allocations(state, before);
}

// The same with the timestamp, and echoed on standard output as well.
void stamped_library(benchmark::State& state) {
    int n = 0;
    VELM_ERROR("accepted message %d: %s\n", n, kPayload);
    long before = allocations.load(std::memory_order_relaxed);
    for (auto _ : state) VELM_ERROR("accepted message %d: %s\n", ++n, kPayload);
    count_allocations(state, before);
}

// A file of the limit's, opened once and in append mode, as the session log
// file is (appending makes each write find the file's end, a cost of the
// kernel's that the library cannot leave out): every file of a case grows
// over all its repetitions.
int limit_file(const char* name) {
    return open((scratch_dir() + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
}

// The same line formatted into a stack buffer and handed to the kernel in
// one write(2): what a line that must be on disk cannot do without.
void accepted_limit(benchmark::State& state) {
    static const int fd = limit_file("limit.log");
    int n = 0;
    for (auto _ : state) {
        char line[1100];
        int length = std::snprintf(line, sizeof line, "accepted message %d: %s\n", ++n, kPayload);
        if (fd < 0 || write(fd, line, static_cast<std::size_t>(length)) != length) {
            state.SkipWithError("cannot write the limit's log file");
            break;
        }
    }
}

// The timestamped line in one snprintf and one write(2).
void stamped_limit(benchmark::State& state) {
    static const int fd = limit_file("stamped_limit.log");
    int n = 0;
    for (auto _ : state) {
        std::time_t now = std::time(nullptr);
        std::tm utc;
        gmtime_r(&now, &utc);
        char line[1100];
        int length = std::snprintf(line, sizeof line, "%04d/%02d/%02d-%02d:%02d:%02d UTC - accepted message %d: %s\n",
                                   utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                                   ++n, kPayload);
        if (fd < 0 || write(fd, line, static_cast<std::size_t>(length)) != length) {
            state.SkipWithError("cannot write the limit's log file");
            break;
        }
    }
}

// Accepted lines from several threads at once into the one session file; the
// rate counts the lines of all threads together.
void accepted_threads(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) VELM_ERROR("accepted message %d: %s\n", ++n, kPayload);
    state.SetItemsProcessed(state.iterations());
}

#ifdef VELM_BENCH_HAVE_SPDLOG
// One logger per row, on spdlog's file sink for several threads (the
// library's writer is one for every thread), writing spdlog's default line:
// timestamp, logger name, level, message.
std::unique_ptr<spdlog::logger> file_logger(const char* name) {
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(scratch_dir() + "/" + name + ".log", true);
    return std::make_unique<spdlog::logger>(name, sink);
}

void dropped_spdlog(benchmark::State& state) {
    static std::unique_ptr<spdlog::logger> logger = file_logger("spdlog_dropped");
    logger->set_level(spdlog::level::info);
    int n = 0;
    for (auto _ : state) logger->debug("dropped message {}: {}", ++n, kPayload);
}

// The message alone ("%v"), as the library's untimestamped line.
void accepted_spdlog(benchmark::State& state) {
    static std::unique_ptr<spdlog::logger> logger = file_logger("spdlog_accepted");
    logger->set_pattern("%v");
    logger->flush_on(spdlog::level::trace);
    int n = 0;
    long before = allocations.load(std::memory_order_relaxed);
    for (auto _ : state) logger->error("accepted message {}: {}", ++n, kPayload);
    count_allocations(state, before);
}

void stamped_spdlog(benchmark::State& state) {
    static std::unique_ptr<spdlog::logger> logger = file_logger("spdlog_stamped");
    logger->flush_on(spdlog::level::trace);
    int n = 0;
    for (auto _ : state) logger->error("accepted message {}: {}", ++n, kPayload);
}
#endif

}  // namespace

void register_log_benchmarks() {
    add("1.dropped", "library", dropped_library);
    add("1.dropped", "limit", dropped_limit);
#ifdef VELM_BENCH_HAVE_SPDLOG
    add("1.dropped", "spdlog", dropped_spdlog);
#endif
    add("2.accepted", "library", accepted_library);
    add("2.accepted", "limit", accepted_limit);
#ifdef VELM_BENCH_HAVE_SPDLOG
    add("2.accepted", "spdlog", accepted_spdlog);
#endif
    add("2.accepted.stamped", "library", stamped_library);
    add("2.accepted.stamped", "limit", stamped_limit);
#ifdef VELM_BENCH_HAVE_SPDLOG
    add("2.accepted.stamped", "spdlog", stamped_spdlog);
#endif
    add("2.accepted.threads", "library", accepted_threads)->Threads(1)->Threads(2)->Threads(8)->UseRealTime();
}

}  // namespace velm_bench

#include <dlfcn.h>

#include <cstdlib>

namespace velm_bench {

namespace {

// The functions of a second copy of the library that the journal row uses.
struct JournalCopy {
    void (*error)(const char*, ...) = nullptr;
};

// A second copy of the library, in a link namespace of its own: its log
// chooses the journal at its first message, while the copy the other rows
// use keeps the system log off. It reads the environment of its own C
// library, so the variables are set through that one.
JournalCopy load_journal_copy() {
    JournalCopy copy;
    Dl_info info{};
    void* handle = nullptr;
    if (dladdr(reinterpret_cast<void*>(&VELM_ERROR), &info)) handle = dlmopen(LM_ID_NEWLM, info.dli_fname, RTLD_NOW);
    if (!handle) return copy;
    auto setEnv = reinterpret_cast<int (*)(const char*, const char*, int)>(dlsym(handle, "setenv"));
    auto setApplName = reinterpret_cast<void (*)(const char*)>(dlsym(handle, "VELM_SetApplName"));
    copy.error = reinterpret_cast<void (*)(const char*, ...)>(dlsym(handle, "VELM_ERROR"));
    if (!setEnv || !setApplName || !copy.error) return JournalCopy{};
    setEnv("VE_TMP_DIR", scratch_dir().c_str(), 1);
    setEnv("VELM_LOG_SYSLOG", "journal", 1);
    setApplName("bench_journal");
    copy.error("the journal row starts\n");  // the file is created and the journal chosen here
    return copy;
}

// The accepted line of row 2 with the journal on: the session file, standard
// output and one entry in the journal.
void accepted_journal(benchmark::State& state) {
    static const JournalCopy copy = load_journal_copy();
    if (!copy.error || access("/run/systemd/journal/socket", W_OK) != 0) {
        state.SkipWithError("no second copy of the library, or no journal running");
        return;
    }
    int n = 0;
    for (auto _ : state) copy.error("accepted message %d: %s\n", ++n, kPayload);
}

[[maybe_unused]] const bool journalRowAdded = (add("2.accepted.journal", "library", accepted_journal), true);

}  // namespace

}  // namespace velm_bench
