#!/usr/bin/env bash
# The quick start: builds and installs the library and velmtool for Linux
# into build/example/prefix, builds the example host (examples/host) against
# that installed tree as any host would (find_package), runs it with
# VELM_LIBUSER_EXITS_INI=1 so that it reads its INI file, and shows the
# session log file it wrote. Needs a C++ compiler and CMake only; runs as any
# user.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELM_BUILD_DIR:-$root/build/example}
prefix=$build/prefix
jobs=$(nproc)

say() { printf 'run-example: %s\n' "$*"; }

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v c++ >/dev/null 2>&1 || command -v g++ >/dev/null 2>&1 || missing+=(g++)
if ((${#missing[@]})); then
  if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    say "the example is built with a C++ compiler and CMake; please install: ${missing[*]}" >&2
    exit 1
  fi
  say "installing ${missing[*]}: the example is built with them"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# quiet LOG COMMAND...: runs the command with its output in LOG, shown only
# when it fails.
quiet() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; say "failed: $*" >&2; exit 1; }
}

mkdir -p "$build"
say "1/4 configuring the library (cmake -S . -B ${build#"$root"/}/lib)"
quiet "$build/configure.log" cmake -S "$root" -B "$build/lib" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_EXAMPLES=OFF
say "2/4 building the library and velmtool on $jobs cores (a minute or so the first time)"
quiet "$build/build.log" cmake --build "$build/lib" -j"$jobs"
say "    installing them into ${prefix#"$root"/}"
quiet "$build/install.log" cmake --install "$build/lib" --prefix "$prefix"
say "3/4 building examples/host against the installed library (find_package(velm_basetool))"
quiet "$build/host.log" cmake -S "$root/examples/host" -B "$build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_PREFIX_PATH="$prefix"
quiet "$build/host.log" cmake --build "$build/host"

# A directory of its own for the session log file, so that the one shown is
# the one this run wrote; removed however the script ends.
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT
say "4/4 running it in examples/: VELM_LIBUSER_EXITS_INI=1 VE_TMP_DIR=$logdir velm_example_host"
echo
output=$(cd "$root/examples" && VELM_LIBUSER_EXITS_INI=1 VE_TMP_DIR="$logdir" "$build/host/velm_example_host")
printf '%s\n' "$output"
logfile=$(printf '%s\n' "$output" | sed -n 's/^session log file: //p')
if [ -z "$logfile" ] || [ ! -f "$logfile" ]; then
  say "the example host wrote no session log file" >&2
  exit 1
fi
printf '\n---- %s ----\n' "$logfile"
cat "$logfile"
printf '\nNext: %s --help   what the library answers, from the shell\n' "${prefix#"$root"/}/bin/velmtool"
printf '      examples/host/main.cpp, examples/server/main.cpp   hosts to copy\n'
printf '      docs/configuration.md   every environment variable\n'
printf '      scripts/test.sh   the whole test suite (as root: installs what the tests need)\n'
