#!/usr/bin/env bash
# duvoload under Wine: gang-stress.
# Four sockets at once, three rounds of fresh images: every block file of every socket
# holds this round's image. Socket 2 wants the extended flash wait, and in round 1
# programs for longer than the standard wait allows; socket 3 fails in round 2: neither's
# wait, text nor code may reach another socket's report.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

gang_setup 4
for round in 1 2 3; do
    if [ "$round" = 1 ]; then
        "$SESSION" card-config --socket 2 ProgrammingTimeMs=6000 ExtendedWait=1
    else
        "$SESSION" card-config --socket 2 ProgrammingTimeMs=5 ExtendedWait=1
    fi
    if [ "$round" = 2 ]; then
        "$SESSION" card-config --socket 3 ProgrammingTimeMs=5 RequestReply=1
    else
        "$SESSION" card-config --socket 3 ProgrammingTimeMs=5
    fi
    make_image "x$round.bin" $((2900 + round * 61))
    make_image "y$round.bin" $((700 + round * 13))
    duvoload --log stress.log --slots 0-3 4=x$round.bin 9=y$round.bin
    for socket in 0 1 2 3; do
        if [ "$round" = 2 ] && [ "$socket" = 3 ]; then
            expect_socket_lines "round 2" 3 "block 4: failed [05419368] Duvo3 not respond" "block 9: not attempted"
            expect_block "x1.bin" 4 "$(socket_data 3)"
            expect_block "y1.bin" 9 "$(socket_data 3)"
            continue
        fi
        expect_socket_lines "round $round" "$socket" "block 4: written $(stat -c %s "x$round.bin") bytes" \
            "block 9: written $(stat -c %s "y$round.bin") bytes"
        expect_block "x$round.bin" 4 "$(socket_data "$socket")"
        expect_block "y$round.bin" 9 "$(socket_data "$socket")"
    done
    if [ "$round" = 2 ]; then
        expect_rc 1 "round 2"
        expect_summary "round 2" "3 of 4 sockets written (socket 0: 0, socket 1: 0, socket 2: 0, socket 3: 1)"
        [ "$(grep -c 'not respond' err.txt)" = 1 ] && expect_stderr_line "round 2" "Duvo3 not respond [05419368]" \
            || fail "round 2: failure texts: $(grep -v '^socket' err.txt)"
    else
        expect_rc 0 "round $round"
        expect_summary "round $round" "4 of 4 sockets written (socket 0: 0, socket 1: 0, socket 2: 0, socket 3: 0)"
    fi
done
# The log: a line per socket and block of every round, each whole.
[ "$(tr -d '\r' <stress.log | awk -F '\t' 'NF == 10' | wc -l)" = 24 ] && [ "$(wc -l <stress.log)" = 24 ] \
    || fail "the log: $(cat stress.log)"
[ "$(cut -f2 stress.log | sort | uniq -c | awk '{printf "%s:%s ", $2, $1}')" = "0:6 1:6 2:6 3:6 " ] \
    || fail "the log's sockets: $(cut -f2 stress.log | sort | uniq -c)"
"$SESSION" card-slots

finish
