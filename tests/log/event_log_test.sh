#!/usr/bin/env bash
# The Windows Event Log under Wine: each message from the syslog level up reaches ReportEvent with its level's
# type (Wine's err, warn and trace channels), and the DLL's message table gives the message itself as the text.
set -euo pipefail
host=$1 wine=${2:-} scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[[ -n $wine ]] || { echo "skipped: no Wine to run the Windows build"; exit 77; }

events=$(cd "$scratch" && VE_TMP_DIR=. VELM_LOG_SYSLOG=eventlog VELM_LOG_LEVEL_SYSLOG=3 WINEDEBUG=+eventlog \
         "$wine" "$host" levels velmev 2>&1 >/dev/null |
         sed -n 's/^[0-9a-f]*:\(err\|warn\|trace\):eventlog:ReportEventW L"\(.*\)"\r\{0,1\}$/\1 \2/p')
expected=$(printf '%s velmev level %s\n' warn 3 err 4 err 5 trace 6 trace 7 trace 8 trace 9; echo trace velmev print)
[[ $events == "$expected" ]] || { printf 'events reported:\n%s\nexpected:\n%s\n' "$events" "$expected"; exit 1; }
table=$(WINEDEBUG=-all "$wine" "$host" table "a message" | tr -d '\r')
[[ $table == "table: [a message]" ]] || { echo "message table gave: $table"; exit 1; }
