#!/usr/bin/env bash
# duvoload under Wine: station-json (the programming station, --tag and --json).
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"
# shellcheck source=station_lib.sh
source "$(dirname "$0")/station_lib.sh"

# --json for a run, a gang and a station: every line a JSON object with its schema, the
# blocks' fields those of the log, the same exit codes.
"$SESSION" card-reset
"$SESSION" card-slots 2
"$SESSION" card-config ProgrammingTimeMs=5
"$SESSION" card-config --socket 1 ProgrammingTimeMs=5
make_image a.bin 1000
make_image "b Ω.bin" 300
run_captured "$LOADER" --json --quiet --tag "$TAG" --log run.log 3=a.bin "5=b Ω.bin"
expect_rc 0 "a run"
[ "$(json_objects out.txt)" = "block block run " ] || fail "a run: $(cat out.txt)"
json_as_log out.txt | cmp -s - <(log_fields run.log) || fail "a run: JSON $(json_as_log out.txt) against the log $(cat run.log)"
[ "$(jq -r 'select(.object == "run") | [.exit_code, .tag, .sockets[0].socket] | @tsv' out.txt)" = "0	$TAG	0" ] \
    || fail "a run's end: $(tail -n 1 out.txt)"
rm -f run.log
run_captured "$LOADER" --json --quiet --slots 0,1 --log run.log 3=a.bin
expect_rc 0 "a gang"
[ "$(json_objects out.txt)" = "block block run " ] || fail "a gang: $(cat out.txt)"
[ "$(jq -r 'select(.object == "block") | .socket' out.txt | sort | tr '\n' ' ')" = "0 1 " ] \
    || fail "a gang's sockets: $(cat out.txt)"
json_as_log out.txt | sort | cmp -s - <(log_fields run.log | sort) || fail "a gang: JSON against the log"
rm -f run.log
run_captured "$LOADER" --json --quiet --station --slots 0,1 --cards 1 --tag "$TAG" --log run.log \
    3=a.bin
expect_rc 0 "a station"
[ "$(json_objects out.txt | tr ' ' '\n' | sort | tr '\n' ' ')" = "block block card card run " ] \
    || fail "a station: $(cat out.txt)"
json_as_log out.txt | sort | cmp -s - <(log_fields run.log | sort) || fail "a station: JSON against the log"
[ "$(jq -r 'select(.object == "card") | [.socket, .card, .result, .tag] | @tsv' out.txt | sort)" \
    = "$(printf '%s\t1\twritten\t%s\n' 0 "$TAG" 1 "$TAG")" ] || fail "a station's cards: $(cat out.txt)"
[ "$(jq -r 'select(.object == "run") | [.exit_code, (.sockets[] | .socket, .cards_written)] | @tsv' out.txt)" \
    = "0	0	1	1	1" ] || fail "a station's end: $(tail -n 1 out.txt)"
"$SESSION" card-slots
finish
