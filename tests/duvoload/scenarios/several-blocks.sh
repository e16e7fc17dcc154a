#!/usr/bin/env bash
# duvoload under Wine: several-blocks.
# Three blocks in one run with a log; stderr is a file, so progress comes as plain lines
# at each 10 % of each phase.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
make_image a.bin 20000
make_image "b c.bin" 1000
make_image d.bin 3000
duvoload --log run.log 3=a.bin "12=b c.bin" "5=$(winpath d.bin)"
expect_rc 0 "three blocks"
sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$/ in S s (R KB\/s)/' out.txt
expect_stdout "three blocks" "block 3: written 20000 bytes in S s (R KB/s)" \
    "block 12: written 1000 bytes in S s (R KB/s)" \
    "block 5: written 3000 bytes in S s (R KB/s)"
expect_block a.bin 3
expect_block "b c.bin" 12
expect_block d.bin 5
# The blocks not named: block 7 as it was, no other block file.
snapshot_blocks blocks.after
[ "$(cut -d' ' -f3 blocks.after | tr '\n' ' ')" = "block03.bin block05.bin block07.bin block12.bin " ] \
    || fail "block files: $(cut -d' ' -f3 blocks.after | tr '\n' ' ')"
grep -qxF "$(grep block07 blocks.before)" blocks.after || fail "block 7 changed"
# The log: time, slot, block, full path, bytes, SHA-256, result, seconds, card (none outside a
# station), tag (none given).
tr -d '\r' <run.log | sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}\t/T\t/; s/\t[0-9]+\.[0-9]{2}\t\t$/\tS\t\t/' >log.txt
printf 'T\t0\t3\t%s\t20000\t%s\twritten\tS\t\t\nT\t0\t12\t%s\t1000\t%s\twritten\tS\t\t\nT\t0\t5\t%s\t3000\t%s\twritten\tS\t\t\n' \
    "$(winpath a.bin)" "$(sha a.bin)" "$(winpath "b c.bin")" "$(sha "b c.bin")" \
    "$(winpath d.bin)" "$(sha d.bin)" | cmp -s - log.txt || fail "log: $(cat log.txt)"
# Progress of block 3: eleven sending lines (0 %, then one per 10 %, up to 100 %), the
# programming lines, no carriage returns.
sed 's/\r$//' err.raw | grep -q $'\r' && fail "in-place updates in stderr redirected to a file"
[ "$(grep -Ec '^block 3: sending [0-9]+% \([0-9]+ of 20000 bytes, [0-9.]+ KB/s\)$' err.txt)" = 11 ] \
    || fail "sending lines: $(grep '^block 3: sending' err.txt)"
[ "$(grep -E '^block 3: sending' err.txt | sed -E 's/.*sending ([0-9]+)%.*/\1/' | awk '{printf "%d ", $1 / 10}')" = "0 1 2 3 4 5 6 7 8 9 10 " ] \
    || fail "sending lines not one per 10 %"
expect_stderr_line "progress" "block 3: programming flash 0%"
expect_stderr_line "progress" "block 3: programming flash 100%"
# --quiet: nothing on stderr.
duvoload --quiet 3=d.bin
expect_rc 0 "quiet"
[ -s err.txt ] && fail "quiet: stderr not empty: $(cat err.txt)"
expect_block d.bin 3
# On a console: one line per phase, updated in place, each left at its end; then the
# result. What the console shows once the run is over:
in_console --screen -- "$LOADER" 4=d.bin
expect_rc 0 "on a console"
strip_speed
sed -i 's/, [0-9.]* KB\/s)$/, R KB\/s)/' out.txt
expect_stdout "the console's rows" "block 4: sending 100% (3000 of 3000 bytes, R KB/s)" \
    "block 4: programming flash 100%" "block 4: written 3000 bytes" ""
expect_block d.bin 4

finish
