// The benchmark run: one process, one scratch directory, the library's log
// set up before its first message.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "velm_basetool.h"

namespace velm_bench {

namespace {
std::string scratch;
}

const std::string& scratch_dir() { return scratch; }

}  // namespace velm_bench

namespace {

std::string make_scratch_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velm_bench.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) return {};
    return name.data();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    std::string dir = make_scratch_dir();
    if (dir.empty()) {
        std::perror("velm_bench: cannot create a scratch directory");
        return 1;
    }
    velm_bench::scratch = dir;
    // The log directory and the configuration switch are read at first use,
    // so both are in place before the library is called.
    setenv("VE_TMP_DIR", dir.c_str(), 1);
    setenv("VELM_CONFIG", dir.c_str(), 1);
    // Before the first message: the file and standard-output levels are 4 and
    // the logging variables of the environment are never read.
    VELM_SetLogLevel(4);

    velm_bench::register_log_benchmarks();
    velm_bench::register_config_benchmarks();
    velm_bench::register_paramline_benchmarks();
    velm_bench::register_strings_benchmarks();
    velm_bench::register_datum_benchmarks();
    velm_bench::register_config_reload_benchmarks();

    // Accepted log lines are echoed on standard output; they are measured
    // going to /dev/null (or the file VELM_BENCH_STDOUT names), and the
    // progress display goes to standard error.
    std::fflush(stdout);
    const char* echo = std::getenv("VELM_BENCH_STDOUT");
    if (!std::freopen(echo ? echo : "/dev/null", "w", stdout)) {
        std::perror("velm_bench: cannot send standard output to /dev/null");
        return 1;
    }
    benchmark::ConsoleReporter display;
    display.SetOutputStream(&std::cerr);
    display.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&display);
    benchmark::Shutdown();

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
