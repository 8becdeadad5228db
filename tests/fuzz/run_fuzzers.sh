#!/usr/bin/env bash
# Replays each fuzz target's seed corpus (seeds and earlier findings), then fuzzes it for a bounded
# time. A finding goes to BUILD_DIR/fuzz-findings/ and fails the run; once fixed, add its input to
# tests/fuzz/corpus/<target>/.   usage: run_fuzzers.sh BUILD_DIR [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd) findings=$1/fuzz-findings seconds=${2:-20} work=$(mktemp -d) passed=0
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"
# Runs a target with its output kept aside, shown only when it fails.
run() { local log=$work/$1.log; shift; "$@" >"$log" 2>&1 || { tail -n 60 "$log"; exit 1; }; }
for target in "$1"/bin/fuzz_*; do
  name=${target##*/fuzz_}
  seeds=$here/corpus/$name corpora=("$work/$name") && mkdir -p "$work/$name"
  if [[ -n $(ls -A "$seeds" 2>/dev/null) ]]; then
    echo "-- $name: replaying $(ls "$seeds" | wc -l) seeds"
    run "$name.replay" "$target" -timeout=10 "$seeds"/* && corpora+=("$seeds")
  fi
  echo "-- $name: fuzzing for $seconds s"
  run "$name" "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/$name-" "${corpora[@]}"
  grep -E '^Done' "$work/$name.log" | tail -n 1
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
