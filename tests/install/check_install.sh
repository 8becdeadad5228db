#!/usr/bin/env bash
# The library as others get it: installed with --prefix, as a subproject (alone, then installed with an
# absolute libdir), and as the Debian package; a host built with CMake and with pkg-config.
set -euo pipefail
build=$1 source=$2 project=$3 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# pc_host DIR / cmake_host PREFIX: builds and runs the host with the .pc file under DIR / find_package.
pc_host() {
  export PKG_CONFIG_PATH=$(dirname "$(find "$1" -name velm_basetool.pc)")
  c++ -std=c++17 "$source/consumer/main.cpp" -o "$work/pc_host" $(pkg-config --cflags --libs velm_basetool) \
      -Wl,-rpath,"$(pkg-config --variable=libdir velm_basetool)"
  "$work/pc_host"
}
cmake_host() {
  rm -rf "$work/host"
  cmake -S "$source/consumer" -B "$work/host" -DCMAKE_PREFIX_PATH="$1" >/dev/null
  cmake --build "$work/host" >/dev/null
  LD_LIBRARY_PATH="$(dirname "$(find "$1" -name 'libvelm_basetool.so')")" "$work/host/consumer"
}
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake_host "$work/prefix"
pc_host "$work/prefix"

sub=(-S "$source/consumer" -B "$work/sub" -DVELM_SOURCE_DIR="$project" -DCMAKE_INSTALL_PREFIX="$work/p2")
cmake "${sub[@]}" >/dev/null && cmake --build "$work/sub" -j2 >/dev/null && cmake --install "$work/sub" >/dev/null
built=$(find "$work/sub" -path '*/CMakeFiles' -prune -o -type f -perm -u+x -printf '%f\n' | sort | tr '\n' ' ')
[[ $built == "consumer libvelm_basetool.so.$(pkg-config --modversion velm_basetool) " && ! -e $work/p2 ]] ||
  { echo "a subproject built: $built, installed: $(find "$work/p2")"; exit 1; }
cmake "${sub[@]}" -DVELM_INSTALL=ON -DCMAKE_INSTALL_LIBDIR="$work/abs/lib64" >/dev/null
cmake --build "$work/sub" -j2 >/dev/null && cmake --install "$work/sub" >/dev/null
pc_host "$work/abs"

(cd "$work" && cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
  { cat "$work/cpack.log"; exit 1; }
[ "$(dpkg-deb -c "$work"/deb/*.deb | grep -cE '/usr/bin/velmtool$|/usr/share/man/man1/velmtool.1')" = 2 ]
dpkg-deb -x "$work"/deb/*.deb "$work/root"
cmake_host "$work/root/usr"
pc_host "$work/root"
