#!/usr/bin/env bash
# Installs the Windows build, builds a host of Microsoft's ABI against the installed velm_basetool.lib
# alone, runs it and the MinGW-built host of the same member table under Wine, and compares their output.
set -euo pipefail
build=$1 source=$2 mingw_host=$3 clangxx=$4 lld_link=$5 dlltool=$6 wine=$7 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix lib=$work/prefix/lib
cmake --install "$build" --prefix "$prefix" >/dev/null
test -f "$lib/velm_basetool.def" && test -f "$lib/libvelm_basetool.dll.a"
# No Microsoft headers or libraries: the host declares the few C functions it calls from msvcrt.dll.
printf 'LIBRARY msvcrt.dll\nEXPORTS\n printf\n exit\n strcmp\n memcpy\n memset\n' >"$work/msvcrt.def"
"$dlltool" -m i386:x86-64 -d "$work/msvcrt.def" -l "$work/msvcrt.lib"
flags=(--target=x86_64-pc-windows-msvc -ffreestanding -Wall -Wextra -Wpedantic -Werror
       -I"$source/freestanding" -I"$prefix/include")
"$clangxx" "${flags[@]}" -x c -std=c99 -fsyntax-only "$source/header_use.c"
for part in member_table this_return; do
  "$clangxx" "${flags[@]}" -std=c++17 -O1 -fno-exceptions -mno-stack-arg-probe \
             -c "$source/$part.cpp" -o "$work/$part.obj"
done
"$lld_link" /nologo /entry:microsoft_host_main /subsystem:console /out:"$prefix/bin/msvc_host.exe" \
            "$work"/*.obj "$lib/velm_basetool.lib" "$work/msvcrt.lib"
"$wine" "$mingw_host" >"$work/mingw.out"
"$wine" "$prefix/bin/msvc_host.exe" | tee "$work/msvc.out"
diff "$work/mingw.out" "$work/msvc.out"
