#!/usr/bin/env bash
# duvoload under Wine: station-stops (the programming station, --tag and --json).
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"
# shellcheck source=station_lib.sh
source "$(dirname "$0")/station_lib.sh"

# Ctrl+C while waiting: a normal end. Ctrl+C during a write: the block finishes, the card
# is reported not completely written, exit 130. --cards 1 on two sockets with the cards in: one
# card each, live lines on a console. A socket's process killed mid-card.
"$SESSION" card-reset
"$SESSION" card-config ProgrammingTimeMs=5
make_image a.bin 20000
make_image b.bin 300
run_captured "$RUNNER" --ctrl-c "socket 1: waiting for a card" -- "$LOADER" --station --slot 1 3=a.bin
expect_rc 0 "Ctrl+C while waiting"
strip_speed
expect_stdout "Ctrl+C while waiting" "0 cards written, 0 failed (socket 1: 0 written, 0 failed)"
run_captured "$RUNNER" --ctrl-c "socket 0 card 1: block 3: sending 10%" -- "$LOADER" --station \
    --slot 0 3=a.bin 5=b.bin
expect_rc 130 "Ctrl+C during a write"
strip_speed
expect_stdout "Ctrl+C during a write" "socket 0 card 1 block 3: written 20000 bytes" \
    "socket 0 card 1 block 5: not attempted" \
    "socket 0 card 1: not completely written (stopped before block 5)" \
    "0 cards written, 1 failed (socket 0: 0 written, 1 failed)"
expect_block a.bin 3
[ -e "$DATA/block05.bin" ] && fail "Ctrl+C during a write: block 5 written"
# --cards 1 on two sockets, on a console: one live line per socket, left at its last state, the
# totals below them, the results above.
"$SESSION" card-reset
"$SESSION" card-slots 2
"$SESSION" card-config --socket 1 ProgrammingTimeMs=5
in_console --screen -- "$LOADER" --station --slots 0,1 --cards 1 5=b.bin
expect_rc 0 "--cards 1 on two sockets"
for socket in 0 1; do
    grep -qx "socket $socket card 1 block 5: written 300 bytes in .*" out.txt \
        && [ "$(grep -c "^socket $socket card 1: written" out.txt)" = 2 ] \
        && grep -qx "socket $socket card 1: written - remove the card" out.txt \
        || fail "--cards 1: socket $socket: $(grep "^socket $socket" out.txt | tr '\n' '|')"
    expect_block b.bin 5 "$(socket_data $socket)"
done
# The summary is wider than the console: it wraps onto a second row.
grep -qx "cards: 2 written, 0 failed" out.txt && sed -n '/^cards: /,$p' out.txt | tr -d '\n' \
    | grep -qx "cards: 2 written, 0 failed2 cards written, 0 failed (socket 0: 1 written, 0 failed; socket 1: 1 written, 0 failed)" \
    || fail "--cards 1: totals and summary: $(tail -n 3 out.txt | tr '\n' '|')"
# Socket 1's process killed mid-card: that card failed at its block (not known to be written),
# the next block not attempted, both on record; socket 0 writes on; exit 1.
"$SESSION" card-reset
duvoload_in_background killed --station --slots 0,1 --cards 1 --log killed.log 3=a.bin 5=b.bin
wait_for_line killed.err "socket 1 card 1: block 3: sending 10%"
kill_processes_with "--slot 1 --gang-member"
await_background killed
expect_rc 1 "a killed socket"
expect_socket_lines "a killed socket" 0 "card 1 block 3: written 20000 bytes" \
    "card 1 block 5: written 300 bytes" "card 1: written"
expect_socket_lines "a killed socket" 1 \
    "card 1 block 3: failed [0000042B] its process ended unexpectedly" "card 1 block 5: not attempted" \
    "card 1: failed at block 3 [0000042B] its process ended unexpectedly"
expect_summary "a killed socket" "1 card written, 1 failed (socket 0: 1 written, 0 failed; socket 1: 0 written, 1 failed)"
[ "$(cut -f2,3,7,9 killed.log | tr -d '\r' | sort | tr '\t\n' ':,')" \
    = "0:3:written:1,0:5:written:1,1:3:failed 0000042B:1,1:5:not attempted:1," ] \
    || fail "a killed socket: log $(cat killed.log)"
# Its stdout unwritable: exit 4, even with a failed card (socket 1's), which alone gives 1.
"$SESSION" card-reset
"$SESSION" card-config --socket 1 ProgrammingTimeMs=5 RequestReply=1
rc=0
"$SESSION" run "$LOADER" --quiet --station --slots 0,1 --cards 1 5=b.bin >/dev/full 2>err.raw || rc=$?
expect_rc 4 "stdout unwritable"
"$SESSION" card-config --socket 1 ProgrammingTimeMs=5
"$SESSION" card-slots
finish
