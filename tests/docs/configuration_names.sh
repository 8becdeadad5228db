#!/usr/bin/env bash
# docs/configuration.md names every environment variable that the library
# and velmtool read, and no other: the names in the first column of its
# tables are compared with the names the code reads.
#   configuration_names.sh SOURCE_DIR
set -euo pipefail
root=$1
sources=$(find "$root/src" "$root/tools" -name '*.cpp' -o -name '*.h' -o -name '*.c')
# What the code reads: a name handed to an environment lookup (get_env,
# getenv, level_from_env, ...), the names of a list beside such a lookup, and
# any literal that is a whole VELM_ or VE_ name in capitals.
code_names() {
  # shellcheck disable=SC2086
  {
    grep -ohE '[A-Za-z_]*env[A-Za-z_]*\("[A-Za-z_][A-Za-z0-9_]*"' $sources | grep -oE '"[^"]+"'
    grep -hE -B3 -A3 'get_env\(|getenv\(' $sources | grep -oE '\{ *"[^}]*\}' | grep -oE '"[^"]+"'
    grep -ohE '"(VELM|VE)_[A-Z0-9_]+"' $sources
  } | tr -d '"' | sort -u
}
documented_names() {
  grep -oE '^\| `[A-Za-z_][A-Za-z0-9_]*`' "$root/docs/configuration.md" | grep -oE '[A-Za-z_][A-Za-z0-9_]*' | sort -u
}

code=$(code_names)
docs=$(documented_names)
status=0
report() {
  [ -z "$2" ] && return
  echo "$1"
  printf '  %s\n' $2
  status=1
}
report "read by the code, missing in docs/configuration.md:" "$(comm -23 <(echo "$code") <(echo "$docs"))"
report "in docs/configuration.md, read by no code:" "$(comm -13 <(echo "$code") <(echo "$docs"))"
[ "$status" = 0 ] && echo "docs/configuration.md names the $(wc -l <<<"$code") variables the code reads"
exit "$status"
