#!/usr/bin/env bash
# Builds the benchmarks (Release), runs them all in one process, and writes
# bench/results.md, bench/results.png and the results section of BENCHMARKS.md.
# Installs what it misses from Debian's packages (needs root, as CI runs).
#
#   VELM_BENCH_MIN_TIME     seconds per benchmark and repetition (0.1)
#   VELM_BENCH_REPETITIONS  repetitions, of which the median counts (9)
#   VELM_BENCH_FILTER       a regular expression of benchmark names (all)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELM_BENCH_BUILD_DIR:-$root/build/bench}
min_time=${VELM_BENCH_MIN_TIME:-0.1}
repetitions=${VELM_BENCH_REPETITIONS:-9}
filter=${VELM_BENCH_FILTER:-.}

"$root/scripts/install-deps.sh"
# Debian's matplotlib belongs to Debian's Python, whatever else is on PATH.
python=/usr/bin/python3
[[ -x $python ]] || python=python3
if ! "$python" -c 'import matplotlib' 2>/dev/null; then
  echo "installing python3-matplotlib: it draws bench/results.png"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends python3-matplotlib >/dev/null
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELM_BUILD_BENCHMARKS=ON \
      -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target velm_bench

# The binary sends its own standard output (the log's echo) to /dev/null and
# shows its progress, and this list, on standard error. The repetitions run
# in random order, so the table takes its order from the list.
"$build/bin/velm_bench" --benchmark_filter="$filter" --benchmark_list_tests=true \
  2>"$build/order.txt"
"$build/bin/velm_bench" \
  --benchmark_filter="$filter" \
  --benchmark_min_time="$min_time" \
  --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="$build/results.json" --benchmark_out_format=json

"$python" "$root/bench/report.py" "$build/results.json" --order "$build/order.txt" \
  --results "$root/bench/results.md" --chart "$root/bench/results.png" \
  --doc "$root/BENCHMARKS.md" --build-dir "$build" \
  --min-time "$min_time" --repetitions "$repetitions"
