#!/usr/bin/env bash
# duvoload under Wine: one-per-socket.
# One program per socket: a second writer and a probe during a write are refused at once
# (exit 5) without opening the card, and the write goes on undisturbed; a lock left by a
# program that was killed counts as free.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
make_image big.bin 20000
make_image small.bin 700
duvoload_in_background writer --log writer.log 10=big.bin
wait_for_line writer.err "block 10: sending 10%"
before="$(opens)"
duvoload --probe
expect_rc 5 "a probe during a write"
expect_stdout "a probe during a write"
expect_stderr_line "a probe during a write" "Duvo0 is in use by another program [000000AA]"
duvoload --log second.log 11=small.bin
expect_rc 5 "a second writer"
expect_stdout "a second writer" "block 11: failed [000000AA] Duvo0 is in use by another program"
[ "$(cut -f3,7 second.log | tr -d '\r')" = "$(printf '11\tfailed 000000AA')" ] \
    || fail "a second writer: log $(cat second.log)"
[ "$(opens)" = "$before" ] || fail "the refused programs opened the device"
rc=0
wait "$bg" || rc=$?
expect_rc 0 "the first writer"
[ "$(tr -d '\r' <writer.out | without_speed)" = "block 10: written 20000 bytes" ] \
    || fail "the first writer: $(cat writer.out)"
expect_block big.bin 10
[ -e "$DATA/block11.bin" ] && fail "the refused writer's block was written"
# Killed while it holds the socket: the next program finds it free.
in_console --terminate "block 12: sending 10%" -- "$LOADER" 12=big.bin
duvoload --quiet 13=small.bin
expect_rc 0 "after a killed writer"
expect_block small.bin 13
duvoload --probe
expect_rc 0 "a probe of the free socket"

finish
