#!/usr/bin/env bash
# velmtool end to end in a scratch folder, relative paths alike under Wine.   usage: GROUP TOOL VERSION [EMULATOR...]
group=$1 tool=$2 version=$3 scratch=$(mktemp -d) emulator=("${@:4}")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" && mkdir logs || exit 1
unset "${!VELM_@}"
export VE_TMP_DIR=logs WINEDEBUG=-all
commands=(ini ini-dump check next-day date field fields cfgpath log logs)
ts='[0-9][0-9][0-9][0-9]/[0-9][0-9]/[0-9][0-9]-[0-9][0-9]:[0-9][0-9]:[0-9][0-9] UTC - '

fail() { printf 'FAIL: %s\n' "$*"; exit 1; }
lines() { printf '%s\n' "$@"; }
# A program's status in rc, standard output in out, standard error in err (no CRs).
run_program() { "${emulator[@]}" "$@" >stdout 2>stderr; rc=$?; out=$(tr -d '\r' <stdout); err=$(tr -d '\r' <stderr); }
# expect STATUS OUTPUT ERROR ARGS...: status, whole output, error matching ERROR, no session log file left.
expect() {
  local status=$1 output=$2 error=$3
  shift 3 && run_program "$tool" "$@"
  [ "$rc" = "$status" ] && [ "$out" = "$output" ] && [[ $err == $error ]] &&
    { [[ $1 == --keep-log ]] || [ -z "$(ls logs)" ]; } ||
    fail "velmtool $* -> status $rc, output:"$'\n'"$out"$'\n'"error:"$'\n'"$err"$'\n'"logs: $(ls logs)"
}
# The tricky line rules, partly with CRLF line ends.
{ printf '%s\r\n' 'Top=above' '[Main]' 'Mode = fast'; printf '%s\n' 'a=b=c' 'ab=' 'x=' '#c=1' '  #c=2'
  printf 'Tab=v\t  \r\n'; printf '%s\n' ' [Other]' 'after=blank-header' '[Main] # note' 'Hidden=1' '[Other]' 'k=1' 'K=2' \
    '[main]  ' 'Late=2' ''; } >tricky.ini

test_usage_and_answers() {
  for args in "" nosuch --keep-log "ini a b" "next-day ' 1' 1 2023" "next-day 100 1 2023" "field ab 0 line" \
              "field ';' 1.5 line" "field ';' 2147483648 line" "log loud message" "cfgpath extra"; do
    eval "set -- $args" && expect 2 "" "velmtool*" "$@"
    [ "$(wc -l <<<"$err")" = 1 ] || fail "velmtool $args: more than one error line"
  done
  expect 0 "velmtool $version" "" --version
  # An answer that cannot be written: a pipe closed early with SIGPIPE ignored.
  (trap '' PIPE && "${emulator[@]}" "$tool" next-day 1 1 2000 100000 2>stderr | true && exit "${PIPESTATUS[0]}")
  rc=$? && [ "$rc" = 4 ] && [[ $(cat stderr) == "velmtool: the answer could not be written"* ]] || fail "closed pipe -> $rc: $(cat stderr)"
  expect 0 "--help" "" date -- --help
  for command in "" "${commands[@]}"; do run_program "$tool" $command --help
    [[ $rc$out == "0usage: velmtool ${command:-[-q] [--keep-log]}"* ]] || fail "$command --help -> $rc: $out $err"; done
  expect 0 "$(lines 29.02.2024 01.03.2024)" "" next-day 28 2 2024 2
  expect 1 "" "velmtool next-day: no valid date follows 31.12.2399" next-day 31 12 2399
  run_program "$tool" date '%Y|%%'
  [ "$rc" = 0 ] && [[ $out =~ ^[0-9]{4}\|%$ ]] || fail "date %Y|%% -> $rc '$out'"
  expect 0 "c" "" field ';' 2 'a;b;c'
  expect 0 "$(lines '3 fields, GetCount 1' "0 \"a\" int 0 char 'a'" "1 \"\" int 0 char 's'" \
    "2 \"-7x\" int -7 char '-'")" "" fields ';' 'a;;-7x'
}

test_ini() {
  expect 0 " fast" "velmtool: no configuration variable is set; VELM_LIBUSER_EXITS_INI=1 is set \
for this run so that the library reads tricky.ini" ini tricky.ini main "Mode "
  expect 0 " fast" "" -q ini tricky.ini main "Mode "
  VELM_QUIET=1 expect 0 " fast" "" ini tricky.ini main "Mode "
  export VELM_LIBUSER_EXITS_INI=1
  expect 1 dflt "" ini tricky.ini Main Mode dflt
  expect 0 "" "" ini tricky.ini Main ab dflt
  expect 3 "" "velmtool: missing.ini: No such file or directory" ini missing.ini a b dflt
  expect 0 "$(lines '1: ignored, above the first header: "Top=above"' '2: [Main]' '3:   "Mode " = " fast"' \
    '4:   "a" = "b=c"' '5:   "ab" = ""' '6: ignored, too short: "x="' '7: ignored, a comment: "#c=1"' '8:   "  #c" = "2"' \
    '9:   "Tab" = "v\t"' '10: ignored, neither a header nor an entry (no "="): " [Other]"' '11:   "after" = "blank-header"' \
    '12: ignored, begins with "[" but names no section: "[Main] # note"' '13: ignored, under a line that names no section: "Hidden=1"' \
    '14: [Other]' '15:   "k" = "1"' '16: ignored, a second entry of key "K": "K=2"' '17: ignored, a second header of section "main": "[main]"' \
    '18: ignored, under a second header of section "main": "Late=2"' '19: ignored, empty: ""' '2 sections, 7 entries, 10 lines ignored')" \
    "" ini-dump tricky.ini
  # A line longer than 1023 characters arrives in pieces, each a line of its own.
  { printf '[S]\nk='; printf 'v%.0s' {1..1021}; printf 'ab=cd\n'; printf 'w%.0s' {1..1023}; printf '\n'; } >long.ini
  run_program "$tool" ini-dump long.ini
  [[ $out == *$'\n2.2:   "ab" = "cd"\n3.1: ignored, neither'*$'\n3.2: ignored, empty: ""\n'* ]] ||
    fail "pieces of long lines:"$'\n'"$out"
  expect 3 "" "velmtool: .: Is a directory" ini-dump .
  # ini-dump reads as the library reads (on Windows a Ctrl-Z ends the file): it shows the key where ini finds it.
  printf '[S]\nk=1\n\032\nj=2\n' >ctrlz.ini
  run_program "$tool" ini ctrlz.ini S j && local found=$rc && run_program "$tool" ini-dump ctrlz.ini
  [[ $found$out == 0*'"j" = "2"'* || ($found == 1 && $out != *'"j"'*) ]] || fail "ini and ini-dump differ: $found $out"
}

test_check_and_log() {
  expect 1 "$(lines 'ok: tricky.ini' 'failed (919301): missing' 'failed (919301): .')" \
    "$(lines "  ${ts}ERROR: File missing does not exists." "  ${ts}ERROR: . is no file but a directory")" \
    check tricky.ini missing .
  expect 0 "$(lines 'ok: tricky.ini' 'ok: tricky.ini')" "" check tricky.ini tricky.ini
  expect 0 "logs" "Warning VELM_LOCAL or VELM_CONFIG not set. Set to:logs" cfgpath
  VELM_CONFIG=conf expect 0 "conf" "" cfgpath
  expect 1 "" "velmtool log: no session log file: level 2 is below the file level 4" log debug 'x'
  VE_TMP_DIR=nodir expect 3 "" "*velmtool: nodir?velmtool_*.log: no session log file: No such file or directory" log error x
  expect 1 "failed (919301): missing" "*velmtool: session log file kept: logs?velmtool_*.log" \
    --keep-log check missing
  [[ $(ls logs) == velmtool_*.log ]] || fail "--keep-log kept no session log file"
  run_program "$tool" log error 'a %s stays'
  local path=${out//\\//}
  [[ $rc$out == 0logs?velmtool_*.log && $err == ${ts}"a %s stays" ]] && grep -q "^  VELM Base-Tool  *(V$version)" "$path" &&
    [[ $(tail -n 1 "$path" | tr -d '\r') == *" UTC - a %s stays" ]] || fail "session log file $path:"$'\n'"$(cat "$path")"
}

test_logs() {
  mkdir pl && touch pl/veserver_VELM_12.log.01 pl/veserver_VELM_012.log pl/a_B_3.txt || exit 1
  printf 'abc\n' >pl/veserver_VELM_12.log && printf 'ab\n' >pl/veserver_VELM_12.log.1 && printf 'x\n' >pl/my_app_CUST_7.log
  touch -d '2026-01-02 03:04:05 UTC' pl/veserver_VELM_12.log && touch -d '2026-01-01 UTC' pl/*_7.log pl/*.log.1
  local t=$'\t' day1=2026-01-01T00:00:00Z
  expect 0 "$(lines "my_app_${t}CUST_${t}7${t}0${t}2${t}$day1${t}-${t}my_app_CUST_7.log" \
    "veserver_${t}VELM_${t}12${t}0${t}4${t}2026-01-02T03:04:05Z${t}-${t}veserver_VELM_12.log" \
    "veserver_${t}VELM_${t}12${t}1${t}3${t}$day1${t}-${t}veserver_VELM_12.log.1")" "" logs pl
  expect 0 "" "" logs
  expect 2 "" "velmtool logs: --prune needs --days or --files*" logs --prune pl
  expect 2 "" "velmtool logs: --days and --files go with --prune" logs --days 2 pl
  expect 3 "" "velmtool: nodir: *" logs nodir
  expect 0 "removed${t}veserver_VELM_12.log.1" "" logs --prune --files 1 pl
  VELM_LOG_RETAIN_DAYS=1 expect 0 "$(lines "removed${t}veserver_VELM_12.log" "removed${t}my_app_CUST_7.log")" "" \
    logs --prune pl
  [ "$(ls pl | tr '\n' ' ')" = "a_B_3.txt veserver_VELM_012.log veserver_VELM_12.log.01 " ] || fail "pruned folder: $(ls pl)"
  [ ${#emulator[@]} = 0 ] || return 0  # a lock held from Linux is no open file to Windows
  exec 9>pl/veserver_VELM_5.log && flock -s 9 && touch -d '2026-01-01 UTC' pl/*_5.log  # an old file this shell writes
  expect 0 "" "" logs --prune --days 1 pl
  expect 0 "veserver_${t}VELM_${t}5${t}0${t}0${t}$day1${t}live${t}veserver_VELM_5.log" "" logs pl/ 9>&-
  exec 9>&-
}

"test_$group"
