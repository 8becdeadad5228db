#!/usr/bin/env bash
# Replays the seed corpus of every fuzz target (the seeds and the inputs of
# earlier findings, kept as regression cases), then fuzzes each target for a
# bounded time. A finding is written to BUILD_DIR/fuzz-findings/ and fails the
# run; add the input to tests/fuzz/corpus/<target>/ once it is fixed.
#   usage: run_fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$1/bin
findings=$1/fuzz-findings
seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"

passed=0
for target in "$bin"/fuzz_*; do
  name=${target##*/fuzz_}
  seeds=$here/corpus/$name
  mkdir -p "$work/$name"
  corpora=("$work/$name")
  inputs=("$seeds"/*)
  if [[ -e ${inputs[0]} ]]; then
    echo "-- $name: replaying ${#inputs[@]} seeds"
    "$target" -timeout=10 "${inputs[@]}" >"$work/$name.replay" 2>&1 ||
      { tail -n 60 "$work/$name.replay"; exit 1; }
    corpora+=("$seeds")
  fi
  echo "-- $name: fuzzing for $seconds s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$findings/$name-" "${corpora[@]}" >"$work/$name.log" 2>&1 ||
    { tail -n 60 "$work/$name.log"; exit 1; }
  grep -E '^Done' "$work/$name.log" | tail -n 1
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
