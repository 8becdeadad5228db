#!/usr/bin/env bash
# Builds the library, velmtool and the example host for Linux, runs the
# example host on its sample settings and shows the session log file it wrote.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELM_BUILD_DIR:-$root/build/example}
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
# A directory of its own for the session log file, so that the one shown is
# the one this run wrote.
logdir=$(mktemp -d)
output=$(cd "$root/examples" && VE_TMP_DIR="$logdir" "$build/bin/velm_example_host" example_settings.txt)
printf '%s\n' "$output"
logfile=$(printf '%s\n' "$output" | sed -n 's/^session log file: //p')
if [ -z "$logfile" ] || [ ! -f "$logfile" ]; then
  echo "run-example: the example host wrote no session log file" >&2
  exit 1
fi
printf '\n---- %s ----\n' "$logfile"
cat "$logfile"
