#!/usr/bin/env bash
# Builds the library, velmtool and the example host for Linux, runs the
# example host on its sample settings and shows the session log file it wrote.
# Needs a C++ compiler and CMake only; runs as any user.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELM_BUILD_DIR:-$root/build/example}

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v c++ >/dev/null 2>&1 || command -v g++ >/dev/null 2>&1 || missing+=(g++)
if ((${#missing[@]})); then
  if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    echo "run-example: the example is built with a C++ compiler and CMake; please install: ${missing[*]}" >&2
    exit 1
  fi
  echo "installing ${missing[*]}: the example is built with them"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_BUILD_TESTS=OFF \
      -DVELM_INSTALL=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
# A directory of its own for the session log file, so that the one shown is
# the one this run wrote; removed however the script ends.
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT
output=$(cd "$root/examples" && VE_TMP_DIR="$logdir" "$build/bin/velm_example_host" example_settings.txt)
printf '%s\n' "$output"
logfile=$(printf '%s\n' "$output" | sed -n 's/^session log file: //p')
if [ -z "$logfile" ] || [ ! -f "$logfile" ]; then
  echo "run-example: the example host wrote no session log file" >&2
  exit 1
fi
printf '\n---- %s ----\n' "$logfile"
cat "$logfile"
printf '\nNext: %s --help   what the library answers, from the shell\n' "${build#"$root"/}/bin/velmtool"
printf '      include/velm_basetool.h   every function, one comment each\n'
printf '      scripts/test.sh   the whole test suite (as root: installs what the tests need)\n'
