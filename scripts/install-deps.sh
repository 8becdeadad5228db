#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine does not have yet. Needs root (as CI runs).
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

for pkg in cmake g++ make googletest libgtest-dev libbenchmark-dev \
           g++-mingw-w64-x86-64-posix wine wine64 \
           clang libclang-rt-14-dev lld llvm valgrind \
           libspdlog-dev libinih-dev pkg-config clang-format \
           doxygen lintian file gzip systemd python3 binutils-mingw-w64-x86-64; do
  have_pkg "$pkg" || need+=("$pkg")
done
# Without its preloader, Wine now and then finds the addresses a Windows
# process needs already taken as the process starts ("failed to map the
# shared user data"), and the program never runs: about once in 7,000 starts.
have_pkg wine64-preloader || need+=(wine64-preloader)
have_pkg locales || need+=(locales)  # localedef, for the German locale below

if ((${#need[@]})); then
  echo "installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
# The date tests also format in a German locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
have_cmd x86_64-w64-mingw32-g++-posix
have_cmd cmake
