#!/usr/bin/env bash
# Each target's corpus (seeds, earlier findings), then fuzzing for a bounded time; a finding goes to
# BUILD_DIR/fuzz-findings/, fails the run, and once fixed joins corpus/<target>/.   usage: BUILD_DIR [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd) findings=$1/fuzz-findings seconds=${2:-20} work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "$1"/bin/fuzz_*; do
  name=${target##*/fuzz_} && log=$work/$name.log
  mkdir -p "$findings" "$work/$name" "$here/corpus/$name"
  echo "-- $name: $(ls "$here/corpus/$name" | wc -l) seeds, then fuzzing for $seconds s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/$name-" \
            "$work/$name" "$here/corpus/$name" >"$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
  grep -E '^Done' "$log" | tail -n 1
done
echo "fuzz: every target passed"
