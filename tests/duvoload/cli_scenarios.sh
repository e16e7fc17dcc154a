#!/usr/bin/env bash
# duvoload.exe under Wine against the virtual card driver, each scenario in a session of its own.
#
#   cli_scenarios.sh SCENARIO
#
# Environment: DUVO_BUILD_DIR (the i686 tree, with duvoload.exe, ctrl_c_runner.exe and the
# prefix), DUVO_DRIVER_DIR (the driver and its service tool).
set -euo pipefail

source "$(dirname "$0")/../wine/scenario_lib.sh" duvoload "$@"

LOADER="$DUVO_BUILD_DIR/app/duvoload/duvoload.exe"
RUNNER="$DUVO_BUILD_DIR/tests/duvoload/ctrl_c_runner.exe"

# Runs duvoload (or the Ctrl+C runner with it) in $WORK: exit code in $rc, stdout in out.txt,
# stderr in err.txt, both without CRs.
duvoload() {
    rc=0
    "$SESSION" run "$LOADER" "$@" >out.raw 2>err.raw || rc=$?
    tr -d '\r' <out.raw >out.txt
    tr -d '\r' <err.raw >err.txt
    sed 's/^/  | /' out.txt
}

with_ctrl_c() {  # PATTERN... -- ARGS...: duvoload run by ctrl_c_runner
    rc=0
    "$SESSION" run "$RUNNER" "$@" >out.raw 2>err.raw || rc=$?
    tr -d '\r' <out.raw >out.txt
    tr -d '\r' <err.raw >err.txt
    sed 's/^/  | /' out.txt
}

expect_rc() { [ "$rc" = "$1" ] || fail "$2: exit code $rc, expected $1"; }

expect_stdout() {  # CONTEXT LINE...: stdout is exactly these lines
    local context="$1"
    shift
    { [ $# -eq 0 ] || printf '%s\n' "$@"; } | cmp -s - out.txt \
        || fail "$context: stdout differs: $(cat out.txt)"
}

expect_stderr_line() {  # CONTEXT LINE: stderr has this whole line
    grep -qxF -- "$2" err.txt || fail "$1: stderr lacks '$2': $(head -c 600 err.txt)"
}

opens() { card_status opens; }

sha() { sha256sum "$WORK/$1" | cut -d' ' -f1; }

# Block 7 holds an image first, so that a run that must write nothing has something to change.
seed_block_seven() {
    "$SESSION" card-reset
    "$SESSION" card-config ProgrammingTimeMs=5
    make_image seed.bin 300
    duvoload --quiet 7=seed.bin
    expect_rc 0 "seeding block 7"
    snapshot_blocks blocks.before
}

case "$scenario" in
    several-blocks)
        # Three blocks in one run with a log; stderr is a file, so progress comes as plain lines
        # at each 10 % of each phase.
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
        # The log: time, slot, block, full path, bytes, SHA-256, result, seconds.
        tr -d '\r' <run.log | sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\t/T\t/; s/\t[0-9]+\.[0-9]{2}$/\tS/' >log.txt
        printf 'T\t0\t3\t%s\t20000\t%s\twritten\tS\nT\t0\t12\t%s\t1000\t%s\twritten\tS\nT\t0\t5\t%s\t3000\t%s\twritten\tS\n' \
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
        ;;
    manifest)
        # A manifest with comments, CRLF, a quoted path with a space, a relative path into a
        # sub-folder and upper-case hashes; then one with a wrong hash, which writes nothing.
        seed_block_seven
        mkdir -p "$WORK/set/sub"
        make_image "set/sub/first image.bin" 5000
        make_image set/second.bin 700
        printf '# production set\r\n\r\n2 "sub\\first image.bin"  %s\r\n\t9 second.bin\t%s # no. 2\r\n' \
            "$(sha "set/sub/first image.bin" | tr a-f A-F)" "$(sha set/second.bin)" >set/good.txt
        duvoload --quiet --log run.log --manifest "set\\good.txt"
        expect_rc 0 "good manifest"
        sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
        expect_stdout "good manifest" "block 2: written 5000 bytes" "block 9: written 700 bytes"
        expect_block "set/sub/first image.bin" 2
        expect_block set/second.bin 9
        [ "$(cut -f3,4,6,7 run.log | tr -d '\r')" = "$(printf '2\t%s\t%s\twritten\n9\t%s\t%s\twritten' \
            "$(winpath 'set\sub\first image.bin')" "$(sha "set/sub/first image.bin")" \
            "$(winpath 'set\second.bin')" "$(sha set/second.bin)")" ] || fail "log: $(cat run.log)"
        snapshot_blocks blocks.before
        before="$(opens)"
        printf '2 "sub\\first image.bin"\n4 second.bin %s\n' "$(sha "set/sub/first image.bin")" \
            >set/wrong.txt
        duvoload --manifest "set\\wrong.txt"
        expect_rc 2 "wrong hash"
        expect_stdout "wrong hash"
        expect_stderr_line "wrong hash" "duvoload: manifest \"set\\wrong.txt\" line 2: \"set\\second.bin\" has SHA-256 $(sha set/second.bin), the manifest expects $(sha "set/sub/first image.bin")"
        [ "$(opens)" = "$before" ] || fail "wrong hash: the device was opened"
        expect_blocks_unchanged "wrong hash"
        ;;
    socket-1)
        # --slot 1 reaches the card in socket 1 (\\.\duvo1) and only that one; its failures
        # name Duvo1; a socket without a card gives exit 3.
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
        sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
        expect_stdout "two blocks on socket 1" "block 4: written 2000 bytes" "block 7: written 500 bytes"
        expect_block a.bin 4 "$DATA1"
        expect_block b.bin 7 "$DATA1"
        expect_blocks_unchanged "socket 0"
        [ "$(cut -f2,3,7 run.log | tr -d '\r' | tr '\t\n' ':,')" = "1:4:written,1:7:written," ] \
            || fail "log: $(cat run.log)"
        "$SESSION" card-config --socket 1 ProgrammingTimeMs=5 RequestReply=1
        duvoload --slot 1 5=b.bin
        expect_rc 1 "no ready reply on socket 1"
        expect_stdout "no ready reply on socket 1" "block 5: failed [05419368] Duvo1 not respond [05419368]"
        expect_stderr_line "no ready reply on socket 1" "Duvo1 not respond [05419368]"
        [ -e "$DATA1/block05.bin" ] && fail "socket 1 wrote block 5"
        duvoload --slot 2 5=b.bin
        expect_rc 3 "no socket 2"
        expect_stdout "no socket 2" "block 5: failed [FFFFFFFF] Duvo2 open failed [00000002]"
        duvoload --slot 2 --probe
        expect_rc 3 "probe of socket 2"
        expect_stderr_line "probe of socket 2" "Duvo2 open failed [00000002]"
        expect_blocks_unchanged "socket 0"
        "$SESSION" card-slots
        ;;
    failure-classes)
        # Each class of failure stops the run at block 3: block 4 is not attempted, no block
        # file changes.
        seed_block_seven
        make_image a.bin 2000
        make_image b.bin 300
        while IFS='|' read -r name config code result text; do
            if [ "$config" = "driver-stop" ]; then
                "$SESSION" driver-stop >/dev/null
            else
                # shellcheck disable=SC2086
                "$SESSION" card-config ProgrammingTimeMs=5 $config
            fi
            duvoload 3=a.bin 4=b.bin
            expect_rc "$code" "$name"
            expect_stdout "$name" "block 3: failed [$result] $text" "block 4: not attempted"
            expect_stderr_line "$name" "$text"
            expect_blocks_unchanged "$name"
        done <<'TABLE'
no ready reply|RequestReply=1|1|05419368|Duvo0 not respond [05419368]
four non-acknowledgements|AckReply=2 AckFaultChunk=3 AckFaultAttempts=4|1|87025353|Duvo0 not respond [87025353]
flash never done|Flash=1|1|87025353|Duvo0 not respond [87025353]
card pulled mid-image|FailFromIndex=1000|1|87025353|Duvo0 not respond [87025353]
no card|driver-stop|3|FFFFFFFF|Duvo0 open failed [00000002]
TABLE
        ;;
    bad-arguments)
        # Each refusal: exit 2, one stderr line naming the argument, nothing on stdout, the
        # device never opened, no block file changed.
        seed_block_seven
        make_image a.bin 1000
        make_image b.bin 1000
        make_image big.bin 917504
        mkdir -p adir
        before="$(opens)"
        while IFS='|' read -r name args message; do
            # shellcheck disable=SC2086
            duvoload $args
            expect_rc 2 "$name"
            expect_stdout "$name"
            [ "$(wc -l <err.txt)" = 1 ] || fail "$name: not one stderr line: $(cat err.txt)"
            case "$(cat err.txt)" in
                "duvoload: $message"*) ;;
                *) fail "$name: stderr '$(cat err.txt)', expected 'duvoload: $message...'" ;;
            esac
        done <<'TABLE'
unknown option|--force 3=a.bin|unknown option "--force" (see --help)
block 1|1=a.bin|argument "1=a.bin": block 1 is not between 2 and 14
block 15|15=a.bin|argument "15=a.bin": block 15 is not between 2 and 14
x=|x=|argument "x=": block "x" is not a number
block named twice|3=a.bin 4=b.bin 3=b.bin|argument "3=b.bin": block 3 is already named by argument "3=a.bin"
missing file|3=a.bin 4=none.bin|argument "4=none.bin": cannot open "none.bin": 
a directory|3=adir|argument "3=adir": cannot 
917504 bytes|3=big.bin|argument "3=big.bin": "big.bin" is too large: an image must be shorter than 917504 bytes
empty list|--quiet|no block to write: name BLOCK=FILE or --manifest FILE (see --help)
unwritable log|--log nodir\run.log 3=a.bin|option --log "nodir\run.log": cannot open the log for appending (error 3)
TABLE
        [ "$(opens)" = "$before" ] || fail "the device was opened: opens $before, then $(opens)"
        expect_blocks_unchanged "bad arguments"
        [ -e nodir ] && fail "the log's folder was created"
        ;;
    interruption)
        # One Ctrl+C during block 3: block 3 finishes, the rest are not attempted. Two: block 3
        # is abandoned and not written; the card then takes the next run's download.
        seed_block_seven
        make_image a.bin 20000
        make_image b.bin 300
        with_ctrl_c "block 3: sending 10%" -- "$LOADER" 3=a.bin 4=b.bin 5=b.bin
        expect_rc 130 "one Ctrl+C"
        sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
        expect_stdout "one Ctrl+C" "block 3: written 20000 bytes" "block 4: not attempted" \
            "block 5: not attempted"
        expect_block a.bin 3
        [ -e "$DATA/block04.bin" ] || [ -e "$DATA/block05.bin" ] && fail "one Ctrl+C: block 4 or 5 written"
        "$SESSION" card-reset
        seed_block_seven
        with_ctrl_c "block 3: sending 10%" "block 3: sending 20%" -- "$LOADER" --log run.log 3=a.bin 4=b.bin
        expect_rc 130 "two Ctrl+C"
        expect_stdout "two Ctrl+C" "block 3: failed [000004C7] Duvo0 download cancelled [000004C7]" \
            "block 4: not attempted"
        expect_stderr_line "two Ctrl+C" "Duvo0 download cancelled [000004C7]"
        [ "$(cut -f3,7 run.log | tr -d '\r' | tr '\t\n' ':,')" = "3:failed 000004C7,4:not attempted," ] \
            || fail "two Ctrl+C: log $(cat run.log)"
        expect_blocks_unchanged "two Ctrl+C"
        duvoload --quiet 3=a.bin
        expect_rc 0 "the run after an abandoned download"
        expect_block a.bin 3
        ;;
    *)
        echo "unknown scenario $scenario" >&2
        exit 2
        ;;
esac

finish
