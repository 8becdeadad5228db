#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds and runs a
# host against it with find_package and with pkg-config.
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for header in velm_basetool.h velm_datum.h velm_paramline.h velm_string.h; do
  test -f "$work/prefix/include/$header"
done
cmake -S "$source/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/consumer"
pc=$(find "$work/prefix" -name velm_basetool.pc)
PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs velm_basetool | grep -q -- -lvelm_basetool
echo "installed package found by CMake and pkg-config"
