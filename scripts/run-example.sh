#!/usr/bin/env bash
# Builds the library, the tool and the example host for Linux, runs the
# example host and shows the session log file it wrote.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELM_BUILD_DIR:-$root/build/example}
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
logdir=$(mktemp -d)
output=$(cd "$root/examples" && VE_TMP_DIR="$logdir" "$build/bin/velm_example_host")
printf '%s\n' "$output"
logfile=$(printf '%s\n' "$output" | sed -n 's/^session log file: //p')
if [ -n "$logfile" ] && [ -f "$logfile" ]; then
  printf '\n---- %s ----\n' "$logfile"
  cat "$logfile"
fi
