#!/usr/bin/env bash
# Builds the library for Linux and for Windows and runs every test: natively,
# and the Windows build under Wine. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELM_BUILD_DIR:-$root/build/test}
jobs=$(nproc)

"$root/scripts/install-deps.sh"

banner() { printf '\n==== %s ====\n' "$*"; }

# The copy test of a link planted in a shared sticky folder needs the
# kernel's protection of such links, which some containers leave off: switch
# it on for the run when root may, and put it back afterwards.
links=/proc/sys/fs/protected_symlinks
if [ "$(id -u)" = 0 ] && [ -w "$links" ] && [ "$(cat "$links")" = 0 ]; then
  echo 1 >"$links" && trap 'echo 0 >"$links"' EXIT
fi

banner "Formatting (clang-format)"
(cd "$root" && git ls-files -- src include tools tests examples bench |
   grep -E '\.(c|cc|cpp|h|hpp)$' | xargs clang-format --dry-run --Werror)

banner "API reference (Doxygen, warnings are errors)"
# Built before the Linux tests, so that the installed-package check finds it
# in the development package.
cmake -S "$root" -B "$build/linux" -DVELM_DOCS_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build/linux" --target docs

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

banner "Linux tests with AddressSanitizer and UndefinedBehaviorSanitizer"
# The installed-package check builds a host without the sanitizers, which
# cannot load a sanitized library; it ran in the plain Linux build above.
cmake -S "$root" -B "$build/asan" -DCMAKE_BUILD_TYPE=Debug \
      -DVELM_SANITIZE=address,undefined >/dev/null
cmake --build "$build/asan" -j"$jobs"
(cd "$build/asan" &&
 ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
 ctest -j"$jobs" --output-on-failure -E '^install_')

banner "Thread tests of the log and the caches with ThreadSanitizer (clang)"
cmake -S "$root" -B "$build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DVELM_SANITIZE=thread -DVELM_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build/tsan" -j"$jobs" --target log_thread_test config_test log_folder_test
# The reload row that reads as an unprivileged child is left out: the child
# makes the cache locks anew after the fork, which the sanitizer cannot follow.
(cd "$build/tsan" && TSAN_OPTIONS=halt_on_error=1 ctest -j"$jobs" --output-on-failure \
   -R "^log_thread_test|^config_test|^log_folder_test.LogTest" -E "MadeUnreadable")

banner "Linux tests under valgrind memcheck"
# Every test of the Linux build runs under memcheck, and with it the programs
# a test starts (but not the system's own); any error, and any definite or
# indirect leak, fails the test. The caches and the log state live until the
# process ends by design and are reported as still reachable only. The checks
# of the header and of the installed package run no library code; the system
# log's test times its calls against a stalled journal, which memcheck slows.
# Memcheck runs one thread at a time, and its default lock lets busy threads
# keep a sleeper waiting for over a second: the reload test's slow writer then
# looks finished halfway through its file. The fair lock takes turns.
memcheck_options="--error-exitcode=97 --fair-sched=yes --leak-check=full --show-leak-kinds=definite,indirect"
memcheck_options+=" --errors-for-leak-kinds=definite,indirect --num-callers=30"
memcheck_options+=" --trace-children=yes --trace-children-skip=/usr/*,/bin/*"
memcheck_options+=" --suppressions=$root/tests/valgrind.supp"
(cd "$build/linux" && rm -rf Testing &&
 ctest -T memcheck -j"$jobs" -E '^(abi_|install_|log_system_log)' \
       --overwrite MemoryCheckCommand="$(command -v valgrind)" \
       --overwrite MemoryCheckCommandOptions="$memcheck_options" >memcheck.out 2>&1) ||
  { tail -n 40 "$build/linux/memcheck.out"
    grep -l -E 'ERROR SUMMARY: [1-9]|(definitely|indirectly) lost: [1-9]' \
         "$build/linux"/Testing/Temporary/MemoryChecker.*.log | xargs -r cat
    exit 1; }
grep -E 'tests passed' "$build/linux/memcheck.out" || true

banner "Fuzz targets (clang, libFuzzer): seed replay and bounded runs"
cmake -S "$root" -B "$build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DVELM_BUILD_FUZZERS=ON -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build/fuzz" -j"$jobs"
"$root/tests/fuzz/run_fuzzers.sh" "$build/fuzz" "${VELM_FUZZ_SECONDS:-20}"
