#!/usr/bin/env bash
# End-to-end tests of velmtool and the example host: exit statuses, standard
# output and standard error of real runs, in a scratch folder, with relative
# paths (which a cross build under Wine reads the same way).
#   velmtool_test.sh GROUP TOOL HOST EXAMPLES_DIR [EMULATOR...]
group=$1 tool=$2 host=$3 examples=$4
shift 4
emulator=("$@")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" && mkdir logs || exit 1
unset VELM_CONFIG VELM_LOCAL VELM_LIBUSER_EXITS_INI VELM_DISABLE_PROPFILE_CACHE VELM_LOG_LEVEL \
      VELM_LOG_LEVEL_STDOUT VELM_LOG_LEVEL_SYSLOG VELM_LOG_TIMESTAMP VELM_VERSION VELM_VERSION_STDOUT
export VE_TMP_DIR=logs WINEDEBUG=-all
failures=0

fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }
lines() { printf '%s\n' "$@"; }
# Runs a program: its status in rc, its standard output in out (carriage
# returns dropped, timestamps shown as <ts>), its standard error in err.
run_program() {
  "${emulator[@]}" "$@" >stdout 2>stderr
  rc=$?
  out=$(tr -d '\r' <stdout | sed -E 's#[0-9]{4}/[0-9]{2}/[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2} UTC - #<ts>#')
  err=$(tr -d '\r' <stderr)
}
run() { run_program "$tool" "$@"; }
# expect STATUS OUTPUT ARGS...: the status and the whole standard output.
expect() {
  local status=$1 output=$2
  shift 2
  run "$@"
  [ "$rc" = "$status" ] && [ "$out" = "$output" ] ||
    fail "velmtool $* -> status $rc, output:"$'\n'"$out"$'\n'"expected status $status, output:"$'\n'"$output"
}
# The sample INI file with the tricky line rules, partly with CRLF line ends.
write_tricky_ini() {
  printf '%s\r\n' 'Top=above' '[Main]' 'Mode = fast' >tricky.ini
  printf '%s\n' 'a=b=c' 'ab=' 'x=' '#c=1' '  #c=2' >>tricky.ini
  printf 'Tab=v\t  \r\n' >>tricky.ini
  printf '%s\n' ' [Other]' 'after=blank-header' '[Main] # note' 'Hidden=1' '[Other]' 'k=1' 'K=2' \
    '[main]  ' 'Late=2' '' >>tricky.ini
}

test_usage() {
  local args
  while IFS= read -r args; do
    eval "set -- $args"
    run "$@"
    [ "$rc" = 2 ] && [ -z "$out" ] && [ "$(wc -l <<<"$err")" = 1 ] && [[ $err == velmtool* ]] ||
      fail "velmtool $args -> status $rc, output '$out', error '$err'"
  done <<'CASES'

nosuch
ini a b
ini a b c d e
next-day x 1 2023
next-day ' 1' 1 2023
next-day 1+ 1 2023
next-day 100 1 2023
next-day 1 1 2023 0
field ab 0 line
field '' 0 line
field ';' 1.5 line
field ';' 2147483648 line
field ';' -2147483649 line
fields ';'
log 8 message
log loud message
cfgpath extra
check
date a b
CASES
  expect 0 "V11.2.2.1" --version
  run --help
  for command in ini ini-dump check next-day date field fields cfgpath log; do
    [ "$rc" = 0 ] && grep -qE "^  $command( |$)" <<<"$out" || fail "--help does not list $command"
  done
  for command in ini ini-dump check next-day date field fields cfgpath log; do
    run "$command" --help
    [ "$rc" = 0 ] && [[ $out == "usage: velmtool $command"* ]] || fail "$command --help -> $rc"
  done
  expect 0 "--help" date -- --help
}

test_ini_lookups() {
  write_tricky_ini
  local note="velmtool: no configuration variable is set; VELM_LIBUSER_EXITS_INI=1 is set for this run so that the library reads tricky.ini"
  expect 0 " fast" ini tricky.ini main "Mode "
  [ "$err" = "$note" ] || fail "the note on standard error reads: $err"
  expect 1 "dflt" ini tricky.ini Main Mode dflt
  expect 0 "b=c" ini tricky.ini MAIN a
  expect 0 "" ini tricky.ini Main ab dflt
  expect 1 "dflt" ini tricky.ini Main x dflt
  expect 1 "" ini tricky.ini Main '#c'
  expect 0 "2" ini tricky.ini Main '  #c'
  expect 0 $'v\t' ini tricky.ini Main tab
  expect 0 "blank-header" ini tricky.ini Main after
  expect 1 "d" ini tricky.ini Main Hidden d
  expect 1 "d" ini tricky.ini Main Top d
  expect 1 "d" ini tricky.ini main Late d
  expect 0 "1" ini tricky.ini other K 1
  VELM_CONFIG=. expect 1 "$(lines '<ts>missing.ini does not exist' dflt)" ini missing.ini a b dflt
  [ -z "$err" ] || fail "a note although VELM_CONFIG is set: $err"
}

test_ini_dump() {
  write_tricky_ini
  expect 0 "$(lines '1: ignored, above the first header: "Top=above"' '2: [Main]' \
    '3:   "Mode " = " fast"' '4:   "a" = "b=c"' '5:   "ab" = ""' '6: ignored, too short: "x="' \
    '7: ignored, a comment: "#c=1"' '8:   "  #c" = "2"' '9:   "Tab" = "v\t"' \
    '10: ignored, neither a header nor an entry (no "="): " [Other]"' \
    '11:   "after" = "blank-header"' \
    '12: ignored, begins with "[" but names no section: "[Main] # note"' \
    '13: ignored, under a line that names no section: "Hidden=1"' '14: [Other]' \
    '15:   "k" = "1"' '16: ignored, a second entry of key "K": "K=2"' \
    '17: ignored, a second header of section "main": "[main]"' \
    '18: ignored, under a second header of section "main": "Late=2"' '19: ignored, empty: ""' \
    '2 sections, 7 entries, 10 lines ignored')" ini-dump tricky.ini
  # A line longer than 1023 characters arrives in pieces, each a line of its own.
  { printf '[S]\nk='; printf 'v%.0s' {1..1021}; printf 'ab=cd\n'; printf 'w%.0s' {1..1023}; printf '\n'; } >long.ini
  run ini-dump long.ini
  grep -qxF '2.2:   "ab" = "cd"' <<<"$out" && grep -qxF '3.2: ignored, empty: ""' <<<"$out" &&
    grep -q '^3.1: ignored, neither' <<<"$out" || fail "pieces of long lines:"$'\n'"$out"
  expect 0 "cd" ini long.ini S ab
  expect 1 "" ini-dump missing.ini
  [ "$err" = "velmtool ini-dump: cannot read missing.ini" ] || fail "ini-dump of a missing file: $err"
  expect 1 "" ini-dump .
}

test_check() {
  write_tricky_ini
  expect 2 "$(lines 'ok: tricky.ini' '  <ts>ERROR: File missing does not exists.' \
    'failed (919301): missing' '  <ts>ERROR: . is no file but a directory' 'failed (919301): .')" \
    check tricky.ini missing .
  run check $(printf 'missing%d ' {1..130})
  [ "$rc" = 125 ] || fail "130 failures give status $rc"
}

test_dates_and_fields() {
  expect 0 "$(lines 29.02.2024 01.03.2024)" next-day 28 2 2024 2
  expect 0 "01.03.2023" next-day 28 2 2023
  expect 0 "01.03.1900" next-day 28 2 1900
  expect 0 "01.05.2023" next-day 31 4 2023
  expect 0 "01.01.2024" next-day 15 13 2023
  expect 0 "02.01.1999" next-day 1 1 99
  expect 0 "01.01.1753" next-day 1 1 100
  expect 1 "" next-day 31 12 2399
  run date '%Y|%%'
  [ "$rc" = 0 ] && [[ $out =~ ^[0-9]{4}\|%$ ]] || fail "date %Y|%% -> $rc '$out'"
  expect 0 "c" field ';' 2 'a;b;c'
  expect 0 "" field ';' 3 'a;b;c'
  expect 0 "x" field ';' -1 'x;y'
  expect 0 "$(lines '3 fields, GetCount 1' "0 \"a\" int 0 char 'a'" "1 \"\" int 0 char 's'" \
    "2 \"-7x\" int -7 char '-'")" fields ';' 'a;;-7x'
}

test_cfgpath_and_log() {
  expect 0 "$(lines 'Warning VELM_LOCAL or VELM_CONFIG not set. Set to:logs' logs)" cfgpath
  VELM_CONFIG=conf expect 0 "conf" cfgpath
  VELM_LOCAL=loc run cfgpath
  [[ $out =~ ^loc[/\\]config$ ]] || fail "cfgpath with VELM_LOCAL: $out"
  expect 1 "no session log file: level 2 is below the file level 4" log debug 'not kept'
  [ -z "$(ls logs)" ] || fail "a message below the levels created $(ls logs)"
  run log error 'a %s stays'
  local path=${out##*session log file: }
  path=${path//\\//}
  [ "$rc" = 0 ] && [[ $out == "<ts>a %s stays"$'\n'"session log file: logs"?velmtool_*.log ]] ||
    fail "log error -> $rc:"$'\n'"$out"
  local version
  version=$("${emulator[@]}" "$tool" --version | tr -d '\r')
  grep -q "^  VELM Base-Tool  *($version)" "$path" && [[ $(tail -n 1 "$path" | tr -d '\r') == *" UTC - a %s stays" ]] ||
    fail "session log file $path:"$'\n'"$(cat "$path")"
}

test_example_host() {
  cp "$examples/example_settings.txt" .
  run_program "$host" example_settings.txt
  local path=${out##*session log file: }
  path=${path//\\//}
  [ "$rc" = 0 ] && grep -q "port = 8080" <<<"$out" && grep -q "^   result 919301" <<<"$out" &&
    grep -q "ERROR: File input/orders.dat does not exists." "$path" &&
    grep -q "^example host done: port 8080" "$path" || fail "example host -> $rc:"$'\n'"$out"
}

"test_$group"
[ "$failures" = 0 ] && echo "velmtool_$group: all passed"
exit $((failures > 0))
