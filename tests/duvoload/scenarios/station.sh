#!/usr/bin/env bash
# duvoload under Wine: station (the programming station on two sockets, --tag and the log).
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"
# shellcheck source=station_lib.sh
source "$(dirname "$0")/station_lib.sh"

# Two sockets, three cards each, one after the other: the first cards left in for seconds
# (written once), socket 0's second card faulty; then --cards 3 ends each socket.
"$SESSION" card-reset
"$SESSION" card-slots 2
for socket in 0 1; do "$SESSION" card-config --socket $socket ProgrammingTimeMs=5; done
make_image a.bin 3000
make_image b.bin 700
duvoload_in_background station --station --slots 0,1 --cards 3 --tag "$TAG" --log run.log \
    3=a.bin 5=b.bin
for socket in 0 1; do wait_for_count station.err "socket $socket card 1: written - remove the card" 1; done
sleep 4  # eight tries with the cards still in
[ "$(tr -d '\r' <station.out | grep -c ': written$')" = 2 ] || fail "cards left in: $(cat station.out)"
keep_blocks card1 0
for card in 2 3; do
    for socket in 0 1; do take_out_card $socket; done
    for socket in 0 1; do wait_for_count station.err "socket $socket: waiting for a card" $card; done
    if [ $card = 3 ]; then
        insert_fresh_card 0
        insert_fresh_card 1
        break
    fi
    insert_fresh_card 0 RequestReply=1
    insert_fresh_card 1
    wait_for_count station.err "socket 0 card 2: FAILED - remove the card" 1
    wait_for_count station.err "socket 1 card 2: written - remove the card" 1
done
await_background station
expect_rc 1 "a station with a failed card"
expect_socket_lines "socket 0" 0 \
    "card 1 block 3: written 3000 bytes" "card 1 block 5: written 700 bytes" "card 1: written" \
    "card 2 block 3: failed [05419368] Duvo0 not respond" "card 2 block 5: not attempted" \
    "card 2: failed at block 3 [05419368] Duvo0 not respond" \
    "card 3 block 3: written 3000 bytes" "card 3 block 5: written 700 bytes" "card 3: written"
expect_socket_lines "socket 1" 1 \
    "card 1 block 3: written 3000 bytes" "card 1 block 5: written 700 bytes" "card 1: written" \
    "card 2 block 3: written 3000 bytes" "card 2 block 5: written 700 bytes" "card 2: written" \
    "card 3 block 3: written 3000 bytes" "card 3 block 5: written 700 bytes" "card 3: written"
expect_summary "the station" \
    "5 cards written, 1 failed (socket 0: 2 written, 1 failed; socket 1: 3 written, 0 failed)"
block_log() {  # RESULT-OF-CARD-2
    local card result
    for card in 1 2 3; do
        result=written
        [ $card = 2 ] && result="$1"
        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' \
            3 "$(winpath a.bin)" 3000 "$(sha a.bin)" "$result" $card "$TAG" \
            5 "$(winpath b.bin)" 700 "$(sha b.bin)" \
            "$([ "$result" = written ] && echo written || echo "not attempted")" $card "$TAG"
    done
}
block_log "failed 05419368" | cmp -s - <(log_fields run.log 0) || fail "socket 0's log: $(cat run.log)"
block_log written | cmp -s - <(log_fields run.log 1) || fail "socket 1's log: $(cat run.log)"
expect_block a.bin 3 "$WORK/card1"
expect_block b.bin 5 "$WORK/card1"
for socket in 0 1; do
    expect_block a.bin 3 "$(socket_data $socket)"
    expect_block b.bin 5 "$(socket_data $socket)"
done
"$SESSION" card-slots
finish
