// What the benchmark files share: the scratch directory of the run and the
// registration of each case.
#pragma once

#include <string>

#include <benchmark/benchmark.h>

namespace velm_bench {

// The run's scratch directory: the session log file, the peers' log files
// and the INI files live here. Removed when the run ends.
const std::string& scratch_dir();

// Registers one variant of a row. Names are "<row>/<variant>", where the
// variant is "library", "limit" or the name of a peer; the report reads them
// back in that form.
template <class Fn>
benchmark::internal::Benchmark* add(const std::string& row, const std::string& variant, Fn fn) {
    return benchmark::RegisterBenchmark((row + "/" + variant).c_str(), fn);
}

// Marks an iteration as doing `count` operations, so that the report gives
// the time of one (one step of a date, for instance).
inline void set_operations(benchmark::State& state, double count) { state.counters["ops"] = count; }

void register_log_benchmarks();
void register_config_benchmarks();
void register_paramline_benchmarks();
void register_strings_benchmarks();
void register_datum_benchmarks();
void register_config_reload_benchmarks();

}  // namespace velm_bench
