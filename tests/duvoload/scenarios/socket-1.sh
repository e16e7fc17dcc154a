#!/usr/bin/env bash
# duvoload under Wine: socket-1.
# --slot 1 reaches the card in socket 1 (\\.\duvo1) and only that one; a socket without a
# card gives exit 3 and is named in its failure. (A card's failure on another socket than 0 is
# seen in the gang scenario.)
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

"$SESSION" card-reset
"$SESSION" card-slots 2
seed_block_seven
"$SESSION" card-config --socket 1 ProgrammingTimeMs=5
DATA1="$("$SESSION" data-dir --socket 1)"
make_image a.bin 2000
make_image b.bin 500
duvoload --slot 1 --probe
expect_rc 0 "probe"
expect_stdout "probe" "slot 1: register base 0x000002C0"
duvoload --slot 1 --quiet --log run.log 4=a.bin 7=b.bin
expect_rc 0 "two blocks on socket 1"
strip_speed
expect_stdout "two blocks on socket 1" "block 4: written 2000 bytes" "block 7: written 500 bytes"
expect_block a.bin 4 "$DATA1"
expect_block b.bin 7 "$DATA1"
expect_blocks_unchanged "socket 0"
[ "$(cut -f2,3,7 run.log | tr -d '\r' | tr '\t\n' ':,')" = "1:4:written,1:7:written," ] \
    || fail "log: $(cat run.log)"
duvoload --slot 2 5=b.bin
expect_rc 3 "no socket 2"
expect_stdout "no socket 2" "block 5: failed [FFFFFFFF] Duvo2 open failed"
expect_stderr_line "no socket 2" "$(no_driver_hint 2)"
duvoload --slot 2 --probe
expect_rc 3 "probe of socket 2"
expect_stderr_line "probe of socket 2" "Duvo2 open failed [00000002]"
expect_stderr_line "probe of socket 2" "$(no_driver_hint 2)"
expect_blocks_unchanged "socket 0"
"$SESSION" card-slots

finish
