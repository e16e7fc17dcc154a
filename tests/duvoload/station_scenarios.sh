#!/usr/bin/env bash
# duvoload --station and --json under Wine against the virtual card driver, each scenario in a
# session of its own. Cards are taken out of socket 0 and fresh ones put in with the harness's
# card-remove and card-insert while the station runs.
#
#   station_scenarios.sh SCENARIO
#
# Environment: DUVO_BUILD_DIR (the tree with duvoload.exe, console_runner.exe and the prefix),
# DUVO_DRIVER_DIR (the driver and its service tool).
set -euo pipefail

source "$(dirname "$0")/../wine/scenario_lib.sh" duvoload "$@"

LOADER="$DUVO_BUILD_DIR/app/duvoload/duvoload.exe"
RUNNER="$DUVO_BUILD_DIR/tests/duvoload/console_runner.exe"
TAG="WO-7 Ωmega"

# Runs duvoload, or the console runner with its arguments: exit code in $rc, stdout in out.txt,
# stderr in err.txt, both without CRs.
run_in() {  # PROGRAM ARGS...
    rc=0
    "$SESSION" run "$@" >out.raw 2>err.raw || rc=$?
    tr -d '\r' <out.raw >out.txt
    tr -d '\r' <err.raw >err.txt
    sed 's/^/  | /' out.txt
}

expect_rc() { [ "$rc" = "$1" ] || fail "$2: exit code $rc, expected $1"; }

# stdout without the times and rates that change from run to run.
expect_stdout() {  # CONTEXT LINE...
    local context="$1"
    shift
    sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
    printf '%s\n' "$@" | cmp -s - out.txt || fail "$context: stdout differs: $(cat out.txt)"
}

sha() { sha256sum "$WORK/$1" | cut -d' ' -f1; }

# The log's fields from the block on: block, path, bytes, SHA-256, result, card, tag.
log_fields() {  # LOG
    tr -d '\r' <"$1" | cut -f3-7,9,10
}

wait_for_count() {  # FILE TEXT COUNT: waits up to a minute for COUNT lines of FILE holding TEXT
    local i
    for i in $(seq 600); do
        [ "$(tr -d '\r' <"$1" | grep -cF -- "$2")" -ge "$3" ] && return 0
        sleep 0.1
    done
    fail "fewer than $3 lines with '$2' in $1: $(tr -d '\r' <"$1" | tail -3)"
    return 1
}

# The card in socket 0 taken out (its device gone), and a fresh one put in, with CONFIG.
take_out_card() { "$SESSION" card-remove 0; }
insert_fresh_card() {  # CONFIG...
    "$SESSION" card-insert 0 ProgrammingTimeMs=5 "$@"
}

keep_blocks() {  # NAME: a copy of socket 0's block files
    mkdir -p "$WORK/$1"
    cp "$DATA"/block*.bin "$WORK/$1/" 2>/dev/null || true
}

# Every line of FILE is one JSON object with "schema": 1; prints the objects' kinds in order.
json_objects() {  # FILE
    local line
    while IFS= read -r line; do
        jq -e '.schema == 1' <<<"$line" >/dev/null || fail "not JSON with schema 1: $line"
    done <"$1"
    jq -r '.object' <"$1" | tr '\n' ' '
}

# The JSON block objects' fields as the log gives them: block, path, bytes, SHA-256, result,
# card, tag.
json_as_log() {  # FILE
    jq -r 'select(.object == "block") | [.block, .file, .bytes, .sha256,
        (if .result == "written" then "written" elif .result == "not-attempted" then "not attempted"
         else "failed " + .code end), (.card // ""), (.tag // "")] | map(tostring) | join("\t")' <"$1"
}

case "$scenario" in
    station)
        # Three cards, one after the other: the first left in for seconds (written once), the
        # second faulty, the third written; then --cards 3 ends the station.
        "$SESSION" card-reset
        "$SESSION" card-config ProgrammingTimeMs=5
        make_image a.bin 3000
        make_image b.bin 700
        "$SESSION" run "$LOADER" --station --slot 0 --cards 3 --tag "$TAG" --log run.log \
            3=a.bin 5=b.bin >station.out 2>station.err &
        station=$!
        wait_for_count station.err "socket 0 card 1: written - remove the card" 1
        sleep 4  # eight tries with the card still in
        [ "$(tr -d '\r' <station.out | grep -c ': written$')" = 1 ] || fail "a card left in: $(cat station.out)"
        keep_blocks card1
        take_out_card
        wait_for_count station.err "socket 0: waiting for a card" 2
        insert_fresh_card RequestReply=1
        wait_for_count station.err "socket 0 card 2: FAILED - remove the card" 1
        take_out_card
        wait_for_count station.err "socket 0: waiting for a card" 3
        insert_fresh_card
        rc=0
        wait "$station" || rc=$?
        expect_rc 1 "a station with a failed card"
        tr -d '\r' <station.out >out.txt
        expect_stdout "the station" \
            "socket 0 card 1 block 3: written 3000 bytes" "socket 0 card 1 block 5: written 700 bytes" \
            "socket 0 card 1: written" \
            "socket 0 card 2 block 3: failed [05419368] Duvo0 not respond" \
            "socket 0 card 2 block 5: not attempted" \
            "socket 0 card 2: failed at block 3 [05419368] Duvo0 not respond" \
            "socket 0 card 3 block 3: written 3000 bytes" "socket 0 card 3 block 5: written 700 bytes" \
            "socket 0 card 3: written" \
            "2 cards written, 1 failed (socket 0: 2 written, 1 failed)"
        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' \
            3 "$(winpath a.bin)" 3000 "$(sha a.bin)" written 1 "$TAG" \
            5 "$(winpath b.bin)" 700 "$(sha b.bin)" written 1 "$TAG" \
            3 "$(winpath a.bin)" 3000 "$(sha a.bin)" "failed 05419368" 2 "$TAG" \
            5 "$(winpath b.bin)" 700 "$(sha b.bin)" "not attempted" 2 "$TAG" \
            3 "$(winpath a.bin)" 3000 "$(sha a.bin)" written 3 "$TAG" \
            5 "$(winpath b.bin)" 700 "$(sha b.bin)" written 3 "$TAG" | cmp -s - <(log_fields run.log) \
            || fail "the log: $(cat run.log)"
        expect_block a.bin 3 "$WORK/card1"
        expect_block b.bin 5 "$WORK/card1"
        expect_block a.bin 3
        expect_block b.bin 5
        ;;
    station-stops)
        # Ctrl+C while waiting: a normal end. Ctrl+C during a write: the block finishes, the card
        # is reported not completely written, exit 130. --cards 1 with the card in: one card.
        "$SESSION" card-reset
        "$SESSION" card-config ProgrammingTimeMs=5
        make_image a.bin 20000
        make_image b.bin 300
        run_in "$RUNNER" --ctrl-c "socket 1: waiting for a card" -- "$LOADER" --station --slot 1 3=a.bin
        expect_rc 0 "Ctrl+C while waiting"
        expect_stdout "Ctrl+C while waiting" "0 cards written, 0 failed (socket 1: 0 written, 0 failed)"
        run_in "$RUNNER" --ctrl-c "socket 0 card 1: block 3: sending 10%" -- "$LOADER" --station \
            --slot 0 3=a.bin 5=b.bin
        expect_rc 130 "Ctrl+C during a write"
        expect_stdout "Ctrl+C during a write" "socket 0 card 1 block 3: written 20000 bytes" \
            "socket 0 card 1 block 5: not attempted" \
            "socket 0 card 1: not completely written (stopped before block 5)" \
            "0 cards written, 1 failed (socket 0: 0 written, 1 failed)"
        expect_block a.bin 3
        [ -e "$DATA/block05.bin" ] && fail "Ctrl+C during a write: block 5 written"
        "$SESSION" card-reset
        run_in "$LOADER" --station --slot 0 --cards 1 --quiet 5=b.bin
        expect_rc 0 "--cards 1"
        expect_stdout "--cards 1" "socket 0 card 1 block 5: written 300 bytes" \
            "socket 0 card 1: written" "1 cards written, 0 failed (socket 0: 1 written, 0 failed)"
        expect_block b.bin 5
        ;;
    station-json)
        # --json for a run, a gang and a station: every line a JSON object with its schema, the
        # blocks' fields those of the log, the same exit codes.
        "$SESSION" card-reset
        "$SESSION" card-slots 2
        "$SESSION" card-config ProgrammingTimeMs=5
        "$SESSION" card-config --socket 1 ProgrammingTimeMs=5
        make_image a.bin 1000
        make_image "b Ω.bin" 300
        run_in "$LOADER" --json --quiet --tag "$TAG" --log run.log 3=a.bin "5=b Ω.bin"
        expect_rc 0 "a run"
        [ "$(json_objects out.txt)" = "block block run " ] || fail "a run: $(cat out.txt)"
        json_as_log out.txt | cmp -s - <(log_fields run.log) || fail "a run: JSON $(json_as_log out.txt) against the log $(cat run.log)"
        [ "$(jq -r 'select(.object == "run") | [.exit_code, .tag, .sockets[0].socket] | @tsv' out.txt)" = "0	$TAG	0" ] \
            || fail "a run's end: $(tail -n 1 out.txt)"
        rm -f run.log
        run_in "$LOADER" --json --quiet --slots 0,1 --log run.log 3=a.bin
        expect_rc 0 "a gang"
        [ "$(json_objects out.txt)" = "block block run " ] || fail "a gang: $(cat out.txt)"
        [ "$(jq -r 'select(.object == "block") | .socket' out.txt | sort | tr '\n' ' ')" = "0 1 " ] \
            || fail "a gang's sockets: $(cat out.txt)"
        json_as_log out.txt | sort | cmp -s - <(log_fields run.log | sort) || fail "a gang: JSON against the log"
        rm -f run.log
        run_in "$LOADER" --json --quiet --station --slot 1 --cards 1 --tag "$TAG" --log run.log 3=a.bin
        expect_rc 0 "a station"
        [ "$(json_objects out.txt)" = "block card run " ] || fail "a station: $(cat out.txt)"
        json_as_log out.txt | cmp -s - <(log_fields run.log) || fail "a station: JSON against the log"
        [ "$(jq -r 'select(.object == "card") | [.socket, .card, .result] | @tsv' out.txt)" = "1	1	written" ] \
            || fail "a station's card: $(cat out.txt)"
        [ "$(jq -r 'select(.object == "run") | [.exit_code, .sockets[0].cards_written] | @tsv' out.txt)" = "0	1" ] \
            || fail "a station's end: $(tail -n 1 out.txt)"
        ;;
    *)
        echo "unknown scenario: $scenario" >&2
        exit 2
        ;;
esac
finish
