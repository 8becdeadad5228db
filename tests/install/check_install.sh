#!/usr/bin/env bash
# The library as others get it (installed with --prefix, as a subproject alone and installed with an absolute
# libdir, as the Debian packages without lintian errors) for hosts built with CMake and with pkg-config.
set -euo pipefail
build=$1 source=$2 project=$3 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# pc_host DIR: builds and runs the host with the .pc file under DIR.
pc_host() {
  export PKG_CONFIG_PATH=$(dirname "$(find "$1" -name velm_basetool.pc)")
  c++ -std=c++17 "$source/consumer/main.cpp" -o "$work/pc_host" $(pkg-config --cflags --libs velm_basetool) \
      -Wl,-rpath,"$(pkg-config --variable=libdir velm_basetool)"
  "$work/pc_host"
}
# consumers PREFIX: the host with find_package and with pkg-config, the README's quick start (its host and
# CMakeLists.txt blocks), examples/host and examples/server, each built on its own against PREFIX, run in examples/.
consumers() {
  local dir out
  for dir in "$source/consumer" "$work/myhost" "$project/examples/host" "$project/examples/server"; do
    rm -rf "$work/build-${dir##*/}" && cmake -S "$dir" -B "$work/build-${dir##*/}" -DCMAKE_PREFIX_PATH="$1" >/dev/null
    cmake --build "$work/build-${dir##*/}" >/dev/null
  done
  LD_LIBRARY_PATH="$(dirname "$(find "$1" -name 'libvelm_basetool.so')")" "$work/build-consumer/consumer"
  pc_host "$1"
  out=$(cd "$project/examples" && VELM_LIBUSER_EXITS_INI=1 VE_TMP_DIR="$work" "$work/build-myhost/myhost")
  [[ $out == "listening on port 8080"$'\n'"session log file: $work"/myhost_*.log ]] || { echo "README host: $out"; exit 1; }
  out=$(cd "$project/examples" && VELM_LIBUSER_EXITS_INI=1 VE_TMP_DIR="$work" "$work/build-host/velm_example_host")
  [ "$(grep -c -e "Port = 8080, from sample.ini" -e "^   port = 8080" -e "^   result 919301" <<<"$out")" = 3 ] &&
    grep -q "host done: port 8080, route north;east;;south" "${out##*: }" || { echo "example host: $out"; exit 1; }
  out=$(cd "$project/examples" && VE_TMP_DIR="$work" "$work/build-server/velm_example_server")
  [ "$(grep -c ': job [0-9]*: hello from worker' "${out##*session log file: }")" = 12 ] ||
    { echo "example server: $out"; exit 1; }
}
mkdir "$work/myhost"
sed -n '/^```cpp$/,/^```$/p' "$project/README.md" | sed '1d;$d' >"$work/myhost/main.cpp"
sed -n '/^```cmake$/,/^```$/p' "$project/README.md" | sed '1d;$d' >"$work/myhost/CMakeLists.txt"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
consumers "$work/prefix"
for file in README.md LICENSE CHANGELOG.md; do [ -f "$work/prefix/share/doc/velm_basetool/$file" ]; done
[ "$(grep -c 'INTERFACE_INCLUDE_DIRECTORIES' "$work"/prefix/lib/cmake/velm_basetool/velm_basetoolTargets.cmake)" = 1 ] &&
  grep -q 'INTERFACE_INCLUDE_DIRECTORIES "${_IMPORT_PREFIX}/include"$' "$work"/prefix/lib/cmake/*/velm_basetoolTargets.cmake

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
version=$(pkg-config --modversion velm_basetool)
for package in libvelm-basetool11 libvelm-basetool-dev velmtool; do
  deb=$work/deb/${package}_${version}_$(dpkg --print-architecture).deb
  [[ $(dpkg-deb -c "$deb") == *" ./usr/share/doc/$package/copyright"* ]] || { echo "$deb has no copyright"; exit 1; }
  dpkg-deb -x "$deb" "$work/root"
done
[ -f "$work/root/usr/share/man/man1/velmtool.1.gz" ] && [ -x "$work/root/usr/bin/velmtool" ]
# The API reference goes with the headers once the docs target has made it.
[ ! -f "$build/docs/html/index.html" ] || [ -f "$work/root/usr/share/doc/velm_basetool/api/index.html" ]
file "$work/root/usr/bin/velmtool" "$work"/root/usr/lib/libvelm_basetool.so.*.* | grep -v ', stripped$' && exit 1
# Errors only: the warnings left are of packages built by CPack rather than from a Debian source package.
! grep -E '^E:' <(lintian --tag-display-limit 0 "$work"/deb/*.deb 2>&1) || exit 1
consumers "$work/root/usr"
