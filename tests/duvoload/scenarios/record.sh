#!/usr/bin/env bash
# duvoload under Wine: record.
# The record is never lost: a log that cannot be written stops the run (exit 4); each
# block's stdout line comes as soon as it ends; the log's times carry their UTC offset;
# a refused run leaves its lines; every line is flushed to the disk before the next
# block.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
make_image a.bin 1000
make_image b.bin 20000
make_image c.bin 300
duvoload --quiet --log 'Z:\dev\full' 2=a.bin 3=c.bin
expect_rc 4 "a full disk"
strip_speed
expect_stdout "a full disk" "block 2: written 1000 bytes" "block 3: not attempted"
[ "$(wc -l <err.txt)" = 1 ] && grep -Eq '^duvoload: log "Z:\\dev\\full": cannot write the log: [A-Za-z][^(]+ \(error [0-9]+\)$' err.txt \
    || fail "a full disk: stderr $(cat err.txt)"
expect_block a.bin 2
[ -e "$DATA/block03.bin" ] && fail "a full disk: block 3 written"
# stdout on a full disk, or a pipe whose reader has gone: the same, said on stderr; the log keeps
# the record.
for sink in full pipe; do
    rm -f "$DATA/block05.bin" out.log
    rc=0
    if [ "$sink" = full ]; then
        "$SESSION" run "$LOADER" --quiet --log out.log 4=a.bin 5=c.bin >/dev/full 2>err.raw || rc=$?
    else
        # pipefail: the pipeline's status is duvoload's.
        "$SESSION" run "$LOADER" --quiet --log out.log 4=a.bin 5=c.bin 2>err.raw | true || rc=$?
    fi
    tr -d '\r' <err.raw >err.txt
    expect_rc 4 "stdout to a $sink"
    grep -Eq '^duvoload: cannot write to stdout: [A-Za-z][^(]+ \(error [0-9]+\)$' err.txt \
        || fail "stdout to a $sink: stderr $(cat err.txt)"
    [ "$(cut -f3,7 out.log | tr -d '\r' | tr '\t\n' ':,')" = "4:written,5:not attempted," ] \
        || fail "stdout to a $sink: log $(cat out.log)"
    [ -e "$DATA/block05.bin" ] && fail "stdout to a $sink: block 5 written"
done
# Killed during block 3: block 2's line is out already.
in_console --terminate "block 3: sending 10%" -- "$LOADER" 2=c.bin 3=b.bin 4=a.bin
strip_speed
expect_stdout "killed during block 3" "block 2: written 300 bytes"
# Three runs in three time zones, then a refused one.
for zone in UTC Asia/Kolkata America/New_York; do
    TZ="$zone" duvoload --quiet --log zones.log 9=c.bin
    expect_rc 0 "a run in $zone"
    [ "$(tail -n 1 zones.log | cut -f1 | tr -d '\r' | cut -c20-)" = "$(TZ="$zone" date +%:z)" ] \
        || fail "offset in $zone: $(tail -n 1 zones.log)"
done
cut -f1 zones.log | tr -d '\r' | while read -r time; do date -d "$time" +%s; done >instants.txt
sort -n -c instants.txt 2>/dev/null || fail "the log's times do not follow its order: $(cut -f1 zones.log)"
printf '9 c.bin\n10 a.bin %s\n' "$(sha c.bin)" >wrong.txt
duvoload --quiet --log zones.log --manifest wrong.txt
expect_rc 2 "a wrong hash"
reason="manifest \"wrong.txt\" line 2: \"a.bin\" has SHA-256 $(sha a.bin), the manifest expects $(sha c.bin)"
[ "$(tail -n 2 zones.log | cut -f2- | tr -d '\r')" = "$(printf '0\t9\t%s\t300\t%s\trefused %s\t0.00\t\t\n0\t10\t%s\t\t\trefused %s\t0.00\t\t' \
    "$(winpath c.bin)" "$(sha c.bin)" "$reason" "$(winpath a.bin)" "$reason")" ] \
    || fail "the refused run's lines: $(tail -n 2 zones.log)"
# Each line is written, then flushed to the disk (fsync under Wine), before the next.
strace -f -qq -s 200 -e trace=write,pwrite64,fsync,fdatasync -o flush.trace \
    "$SESSION" run "$LOADER" --quiet --log flush.log 11=c.bin 12=c.bin >/dev/null 2>&1 \
    || fail "the flushed run failed"
grep -E 'p?write(64)?\([0-9]+, "[0-9]{4}-[0-9]{2}-[0-9]{2}T|fsync\(|fdatasync\(' flush.trace \
    | sed -E 's/^[0-9]+ +//; s/^p?write(64)?\(([0-9]+),.*/line \2/; s/^f(data)?sync\(([0-9]+)\).*/flush \2/' \
    | uniq >flush.order
fd="$(sed -n 's/^line //p' flush.order | head -n 1)"
[ -n "$fd" ] && [ "$(tr '\n' ',' <flush.order)" = "line $fd,flush $fd,line $fd,flush $fd," ] \
    || fail "log lines and flushes: $(tr '\n' ',' <flush.order)"

finish
