#!/usr/bin/env bash
# duvoload under Wine: station (the programming station, --tag and --json).
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"
# shellcheck source=station_lib.sh
source "$(dirname "$0")/station_lib.sh"

# Three cards, one after the other: the first left in for seconds (written once), the
# second faulty, the third written; then --cards 3 ends the station.
"$SESSION" card-reset
"$SESSION" card-config ProgrammingTimeMs=5
make_image a.bin 3000
make_image b.bin 700
duvoload_in_background station --station --slot 0 --cards 3 --tag "$TAG" --log run.log 3=a.bin \
    5=b.bin
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
wait "$bg" || rc=$?
expect_rc 1 "a station with a failed card"
tr -d '\r' <station.out >out.txt
strip_speed
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
finish
