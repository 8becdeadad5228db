#!/usr/bin/env bash
# Builds the library for Linux and for Windows and runs every test: natively,
# and the Windows build under Wine. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELM_BUILD_DIR:-$root/build/test}
jobs=$(nproc)

"$root/scripts/install-deps.sh"

banner() { printf '\n==== %s ====\n' "$*"; }

banner "Linux build and tests"
cmake -S "$root" -B "$build/linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build/linux" -j"$jobs"
(cd "$build/linux" && ctest -j"$jobs" --output-on-failure)

banner "Windows build (MinGW-w64) and tests under Wine"
export WINEDEBUG=-all
# One Wine server for the whole run instead of one per test process.
wineserver -p 300 2>/dev/null || true
wine cmd /c exit >/dev/null 2>&1 || true
cmake -S "$root" -B "$build/windows" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build/windows" -j"$jobs"
(cd "$build/windows" && ctest -j"$jobs" --output-on-failure)
wineserver -k 2>/dev/null || true
