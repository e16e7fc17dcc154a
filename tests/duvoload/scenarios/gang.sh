#!/usr/bin/env bash
# duvoload under Wine: gang.
# Several sockets at once: each socket's blocks in order, its own failure its own; the
# lines of every socket and a summary with each one's exit code; the exit code of the
# first socket of the list that did not write everything.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

gang_setup 4
make_image a.bin 6000
make_image b.bin 700
# Bad lists: exit 2, one line, no socket opened.
before="$(all_opens 4)"
while IFS='|' read -r list message; do
    duvoload --slots "$list" 3=a.bin
    expect_rc 2 "--slots '$list'"
    expect_stdout "--slots '$list'"
    expect_stderr_line "--slots '$list'" "duvoload: option --slots \"$list\": $message"
done <<'TABLE'
0,0|socket 0 is named twice
9|a gang is two sockets or more; for one socket use --slot 9
1-0|the range "1-0" runs backwards
|the list is empty
TABLE
[ "$(all_opens 4)" = "$before" ] || fail "bad lists: a socket was opened"
# Two sockets written, with a log.
duvoload --log run.log --slots 0,1 3=a.bin 4=b.bin
expect_rc 0 "two sockets"
expect_socket_lines "two sockets" 0 "block 3: written 6000 bytes" "block 4: written 700 bytes"
expect_socket_lines "two sockets" 1 "block 3: written 6000 bytes" "block 4: written 700 bytes"
expect_summary "two sockets" "2 of 2 sockets written (socket 0: 0, socket 1: 0)"
for socket in 0 1; do
    expect_block a.bin 3 "$(socket_data $socket)"
    expect_block b.bin 4 "$(socket_data $socket)"
done
[ -e "$(socket_data 2)/block03.bin" ] && fail "two sockets: socket 2 written"
[ "$(cut -f2,3,7 run.log | tr -d '\r' | sort | tr '\t\n' ':,')" = "0:3:written,0:4:written,1:3:written,1:4:written," ] \
    || fail "two sockets: log $(cat run.log)"
# Socket 1 refuses chunk 3 four times while socket 0 writes: socket 1 fails alone.
"$SESSION" card-config --socket 1 ProgrammingTimeMs=5 AckReply=2 AckFaultChunk=3 AckFaultAttempts=4
make_image c.bin 5000
duvoload --slots 0,1 5=c.bin 6=b.bin
expect_rc 1 "a fault on socket 1"
expect_socket_lines "a fault on socket 1" 0 "block 5: written 5000 bytes" "block 6: written 700 bytes"
expect_socket_lines "a fault on socket 1" 1 "block 5: failed [87025353] Duvo1 not respond" "block 6: not attempted"
expect_summary "a fault on socket 1" "1 of 2 sockets written (socket 0: 0, socket 1: 1)"
expect_stderr_line "a fault on socket 1" "Duvo1 not respond [87025353]"
grep -q "Duvo0" err.txt && fail "a fault on socket 1: socket 0 reported a failure"
expect_block c.bin 5 "$(socket_data 0)"
[ -e "$(socket_data 1)/block05.bin" ] && fail "a fault on socket 1: its block 5 written"
"$SESSION" card-config --socket 1 ProgrammingTimeMs=5
# A socket without a card (5; the driver serves 0 to 3): exit 3 from it alone.
duvoload --quiet --slots 2,5,3 8=b.bin
expect_rc 3 "a socket without a card"
expect_socket_lines "a socket without a card" 5 "block 8: failed [FFFFFFFF] Duvo5 open failed"
expect_summary "a socket without a card" "2 of 3 sockets written (socket 2: 0, socket 5: 3, socket 3: 0)"
expect_block b.bin 8 "$(socket_data 2)"
expect_block b.bin 8 "$(socket_data 3)"
# Socket 1 in use by another program: refused at once, socket 0 goes on.
make_image big.bin 20000
duvoload_in_background other --slot 1 10=big.bin
wait_for_line other.err "block 10: sending 10%"
duvoload --quiet --slots 0,1 11=b.bin
expect_rc 5 "a socket in use"
expect_socket_lines "a socket in use" 0 "block 11: written 700 bytes"
expect_socket_lines "a socket in use" 1 "block 11: failed [000000AA] Duvo1 is in use by another program"
expect_summary "a socket in use" "1 of 2 sockets written (socket 0: 0, socket 1: 5)"
rc=0
wait "$bg" || rc=$?
expect_rc 0 "the other program"
expect_block big.bin 10 "$(socket_data 1)"
[ -e "$(socket_data 1)/block11.bin" ] && fail "a socket in use: its block 11 written"
# Ctrl+C once: every socket finishes its block and stops.
in_console --ctrl-c "socket 1 block 12: sending 10%" -- "$LOADER" --slots 0,1 12=big.bin 13=b.bin
expect_rc 130 "one Ctrl+C"
expect_socket_lines "one Ctrl+C" 0 "block 12: written 20000 bytes" "block 13: not attempted"
expect_socket_lines "one Ctrl+C" 1 "block 12: written 20000 bytes" "block 13: not attempted"
expect_summary "one Ctrl+C" "0 of 2 sockets written (socket 0: 130, socket 1: 130)"
for socket in 0 1; do
    expect_block big.bin 12 "$(socket_data $socket)"
    [ -e "$(socket_data $socket)/block13.bin" ] && fail "one Ctrl+C: socket $socket's block 13 written"
done
# Socket 1's process killed during its block: that block failed (not known to be
# written), the next not attempted, both on record; socket 0 goes on.
duvoload_in_background killed --log killed.log --slots 0,1 12=big.bin 13=b.bin
wait_for_line killed.err "socket 1 block 12: sending 10%"
kill_processes_with "--slot 1 --gang-member"
await_background killed
expect_rc 1 "a killed socket"
expect_socket_lines "a killed socket" 0 "block 12: written 20000 bytes" "block 13: written 700 bytes"
expect_socket_lines "a killed socket" 1 "block 12: failed [0000042B] its process ended unexpectedly" "block 13: not attempted"
expect_summary "a killed socket" "1 of 2 sockets written (socket 0: 0, socket 1: 1)"
[ "$(cut -f2,3,7 killed.log | tr -d '\r' | sort | tr '\t\n' ':,')" = "0:12:written,0:13:written,1:12:failed 0000042B,1:13:not attempted," ] \
    || fail "a killed socket: log $(cat killed.log)"
# The parent killed while its sockets wait for their flash: the job ends their processes with it,
# in the middle of their block. Without the job they would wait the flash out (or time out) and
# then put their block on record in the log.
for socket in 0 1; do
    "$SESSION" card-config --socket $socket ProgrammingTimeMs=120000 ExtendedWait=1
done
duvoload_in_background orphans --log orphans.log --slots 0,1 2=b.bin
wait_for_line orphans.err "socket 1 block 2: programming flash"
members() { processes_with "--gang-member"; }
[ -n "$(members)" ] || fail "a killed parent: no socket's process found"
kill_processes_with "--slots 0,1 2="
wait "$bg" || true
for i in $(seq 600); do [ -z "$(members)" ] && break; sleep 0.1; done
[ -z "$(members)" ] || fail "a killed parent: its sockets' processes still run"
[ -s orphans.log ] && fail "a killed parent: its sockets' processes ran on: $(cat orphans.log)"
for socket in 0 1; do
    "$SESSION" card-config --socket $socket ProgrammingTimeMs=5 ExtendedWait=0
done
# On a console: one live line per socket, left at its last state; the results above.
in_console --screen -- "$LOADER" --slots 0,1 14=b.bin
expect_rc 0 "on a console"
for socket in 0 1; do
    [ "$(grep -c "^socket $socket block 14: programming flash" out.txt)" = 1 ] \
        && grep -qx "socket $socket block 14: programming flash 100%" out.txt \
        || fail "on a console: socket $socket's live line: $(grep "^socket $socket" out.txt | tr '\n' '|')"
done
grep -q "^2 of 2 sockets written (socket 0: 0, socket 1: 0)$" out.txt \
    || fail "on a console: no summary: $(cat out.txt)"
for socket in 0 1 2 3; do
    expect_block "seed$socket.bin" 7 "$(socket_data $socket)"
done
"$SESSION" card-slots

finish
