#!/usr/bin/env bash
# docs/configuration.md names, in the first column of its tables, every environment variable that the library
# and velmtool read, and no other.   usage: configuration_names.sh SOURCE_DIR
set -euo pipefail
root=$1
sources=$(find "$root/src" "$root/tools" -name '*.cpp' -o -name '*.h' -o -name '*.c')
# What the code reads: a name handed to an environment lookup (get_env, getenv, level_from_env, ...), the names
# of a list beside such a lookup, and any literal that is a whole VELM_ or VE_ name in capitals.
# shellcheck disable=SC2086
code=$({
  grep -ohE '[A-Za-z_]*env[A-Za-z_]*\("[A-Za-z_][A-Za-z0-9_]*"' $sources | grep -oE '"[^"]+"'
  grep -hE -B3 -A3 'get_env\(|getenv\(' $sources | grep -oE '\{ *"[^}]*\}' | grep -oE '"[^"]+"'
  grep -ohE '"(VELM|VE)_[A-Z0-9_]+"' $sources
} | tr -d '"' | sort -u)
docs=$(grep -oE '^\| `[A-Za-z_][A-Za-z0-9_]*`' "$root/docs/configuration.md" | grep -oE '[A-Za-z_][A-Za-z0-9_]*' | sort -u)
echo "< read by the code, missing in docs/configuration.md; > in docs/configuration.md, read by no code"
diff <(echo "$code") <(echo "$docs")
