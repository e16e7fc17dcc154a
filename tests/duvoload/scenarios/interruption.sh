#!/usr/bin/env bash
# duvoload under Wine: interruption.
# One Ctrl+C during block 3: block 3 finishes, the rest are not attempted. Two: block 3
# is abandoned and not written; the card then takes the next run's download.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
make_image a.bin 20000
make_image b.bin 300
in_console --ctrl-c "block 3: sending 10%" -- "$LOADER" 3=a.bin 4=b.bin 5=b.bin
expect_rc 130 "one Ctrl+C"
strip_speed
expect_stdout "one Ctrl+C" "block 3: written 20000 bytes" "block 4: not attempted" \
    "block 5: not attempted"
expect_block a.bin 3
[ -e "$DATA/block04.bin" ] || [ -e "$DATA/block05.bin" ] && fail "one Ctrl+C: block 4 or 5 written"
"$SESSION" card-reset
seed_block_seven
in_console --ctrl-c "block 3: sending 10%" --ctrl-c "block 3: sending 20%" -- \
    "$LOADER" --log run.log 3=a.bin 4=b.bin
expect_rc 130 "two Ctrl+C"
expect_stdout "two Ctrl+C" "block 3: failed [000004C7] Duvo0 download cancelled" \
    "block 4: not attempted"
expect_stderr_line "two Ctrl+C" "Duvo0 download cancelled [000004C7]"
[ "$(cut -f3,7 run.log | tr -d '\r' | tr '\t\n' ':,')" = "3:failed 000004C7,4:not attempted," ] \
    || fail "two Ctrl+C: log $(cat run.log)"
expect_blocks_unchanged "two Ctrl+C"
duvoload --quiet 3=a.bin
expect_rc 0 "the run after an abandoned download"
expect_block a.bin 3

finish
