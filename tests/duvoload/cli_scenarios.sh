#!/usr/bin/env bash
# duvoload.exe under Wine against the virtual card driver, each scenario in a session of its own.
#
#   cli_scenarios.sh SCENARIO
#
# Environment: DUVO_BUILD_DIR (the tree with duvoload.exe, console_runner.exe and the prefix),
# DUVO_DRIVER_DIR (the driver and its service tool).
set -euo pipefail

source "$(dirname "$0")/../wine/scenario_lib.sh" duvoload "$@"

LOADER="$DUVO_BUILD_DIR/app/duvoload/duvoload.exe"
RUNNER="$DUVO_BUILD_DIR/tests/duvoload/console_runner.exe"

# Runs duvoload (or the Ctrl+C runner with it) in $WORK: exit code in $rc, stdout in out.txt,
# stderr in err.txt, both without CRs.
duvoload() {
    rc=0
    "$SESSION" run "$LOADER" "$@" >out.raw 2>err.raw || rc=$?
    tr -d '\r' <out.raw >out.txt
    tr -d '\r' <err.raw >err.txt
    sed 's/^/  | /' out.txt
}

in_console() {  # RUNNER-OPTIONS... -- ARGS...: duvoload run by console_runner
    rc=0
    "$SESSION" run "$RUNNER" "$@" >out.raw 2>err.raw || rc=$?
    tr -d '\r' <out.raw >out.txt
    tr -d '\r' <err.raw >err.txt
    sed 's/^/  | /' out.txt
}

# Starts duvoload in the background (stdout in NAME.out, stderr in NAME.err); its pid in $bg.
duvoload_in_background() {  # NAME ARGS...
    local name="$1"
    shift
    "$SESSION" run "$LOADER" "$@" >"$name.out" 2>"$name.err" &
    bg=$!
}

wait_for_line() {  # FILE TEXT: waits up to a minute for a line of FILE holding TEXT
    local i
    for i in $(seq 600); do
        grep -qF -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "no line with '$2' in $1: $(tr -d '\r' <"$1" | tail -3)"
    return 1
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

# The hint that follows a device that cannot be opened.
no_driver_hint() {  # SOCKET
    echo "duvoload: hint: no card driver answers at \\\\.\\duvo$1; is the card in socket $1, and is its driver started?"
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

# ---- gang runs (--slots) -------------------------------------------------------------------

socket_data() { "$SESSION" data-dir --socket "$1"; }

# SOCKETS sockets, each programming in 5 ms and holding block 7 (socket N's own image), so that
# a run that must leave a socket alone has something to change.
gang_setup() {  # SOCKETS
    local socket
    "$SESSION" card-reset
    "$SESSION" card-slots "$1"
    for socket in $(seq 0 $(($1 - 1))); do
        "$SESSION" card-config --socket "$socket" ProgrammingTimeMs=5
        make_image "seed$socket.bin" $((300 + socket))
        duvoload --quiet --slot "$socket" 7=seed$socket.bin
        expect_rc 0 "seeding block 7 of socket $socket"
    done
}

# One socket's stdout lines, in order, without the socket and the time ("block 3: written 20000
# bytes"); the sockets' lines interleave as the sockets end their blocks.
socket_lines() {  # SOCKET
    sed -n "s/^socket $1 //p" out.txt | sed 's/ in [0-9.]* s ([0-9.]* KB\/s)$//'
}

expect_socket_lines() {  # CONTEXT SOCKET LINE...
    local context="$1" socket="$2"
    shift 2
    [ "$(socket_lines "$socket")" = "$(printf '%s\n' "$@")" ] \
        || fail "$context: socket $socket's lines: $(socket_lines "$socket" | tr '\n' '|')"
}

expect_summary() {  # CONTEXT LINE: the last line of stdout
    [ "$(tail -n 1 out.txt)" = "$2" ] || fail "$1: summary '$(tail -n 1 out.txt)', expected '$2'"
}

all_opens() {  # SOCKETS: the open counts of sockets 0 to SOCKETS-1
    local socket
    for socket in $(seq 0 $(($1 - 1))); do echo "$socket:$(card_status opens "$(socket_data "$socket")")"; done
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
        # The log: time, slot, block, full path, bytes, SHA-256, result, seconds, card (none
        # outside a station), tag (none given).
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
        sed -i -e 's/, [0-9.]* KB\/s)$/, R KB\/s)/' -e 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
        expect_stdout "the console's rows" "block 4: sending 100% (3000 of 3000 bytes, R KB/s)" \
            "block 4: programming flash 100%" "block 4: written 3000 bytes" ""
        expect_block d.bin 4
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
        # What Windows PowerShell 5 writes with `>`: UTF-16 after its byte order mark, CRLF; and
        # the same manifest in UTF-8 without a mark. Both name bild-ä.bin in a sub-folder.
        make_image "set/sub/bild-ä.bin" 900
        printf '\xFF\xFE' >set/utf16.txt
        printf '# Satz\r\n11 "sub\\bild-ä.bin" %s\r\n' "$(sha "set/sub/bild-ä.bin")" \
            | iconv -f UTF-8 -t UTF-16LE >>set/utf16.txt
        duvoload --quiet --manifest "set\\utf16.txt"
        expect_rc 0 "UTF-16 manifest"
        expect_block "set/sub/bild-ä.bin" 11
        printf '12 sub/bild-ä.bin\n' >set/utf8.txt
        duvoload --quiet --log run.log --manifest "set\\utf8.txt"
        expect_rc 0 "UTF-8 manifest"
        expect_block "set/sub/bild-ä.bin" 12
        [ "$(tail -n 1 run.log | cut -f3,4 | tr -d '\r')" = "$(printf '12\t%s' "$(winpath 'set\sub\bild-ä.bin')")" ] \
            || fail "UTF-8 manifest: log $(tail -n 1 run.log)"
        # A NUL would cut the path short (to a.bin, which exists), an escape would reach the
        # terminal: both refused, naming the line, before the device is opened.
        make_image set/a.bin 100
        snapshot_blocks blocks.before
        before="$(opens)"
        printf '2 a.bin\0junk\n' >set/zero.txt
        duvoload --manifest "set\\zero.txt"
        expect_rc 2 "NUL in a path"
        expect_stderr_line "NUL in a path" "duvoload: manifest \"set\\zero.txt\" line 1: the line holds the control character \\x00"
        printf '2 a.bin\n3 \033[2Ja.bin\n' >set/esc.txt
        duvoload --manifest "set\\esc.txt"
        expect_rc 2 "an escape in a path"
        expect_stderr_line "an escape in a path" "duvoload: manifest \"set\\esc.txt\" line 2: the line holds the control character \\x1B"
        printf '2 a\rb.bin\n' >set/cr.txt
        duvoload --manifest "set\\cr.txt"
        expect_rc 2 "a lone CR in a path"
        expect_stderr_line "a lone CR in a path" "duvoload: manifest \"set\\cr.txt\" line 1: the line holds the control character \\x0D"
        [ "$(opens)" = "$before" ] || fail "control characters: the device was opened"
        expect_blocks_unchanged "control characters"
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
        expect_stdout "no ready reply on socket 1" "block 5: failed [05419368] Duvo1 not respond"
        expect_stderr_line "no ready reply on socket 1" "Duvo1 not respond [05419368]"
        [ -e "$DATA1/block05.bin" ] && fail "socket 1 wrote block 5"
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
            # One code per stdout line: the text without the code it ends in.
            expect_stdout "$name" "block 3: failed [$result] ${text% \[*\]}" "block 4: not attempted"
            expect_stderr_line "$name" "$text"
            if [ "$result" = FFFFFFFF ]; then
                expect_stderr_line "$name" "$(no_driver_hint 0)"
            else
                grep -q hint err.txt && fail "$name: a hint: $(cat err.txt)"
            fi
            expect_blocks_unchanged "$name"
        done <<'TABLE'
no ready reply|RequestReply=1|1|05419368|Duvo0 not respond [05419368]
four non-acknowledgements|AckReply=2 AckFaultChunk=3 AckFaultAttempts=4|1|87025353|Duvo0 not respond [87025353]
acknowledgements "RxO?"|AckReply=6 AckFaultChunk=3 AckFaultAttempts=4|1|87025353|Duvo0 not respond [87025353]
flash never done|Flash=1|1|87025353|Duvo0 not respond [87025353]
card pulled mid-image|FailFromIndex=1000|1|87025353|Duvo0 not respond [87025353]
driver busy|FailRequestIndex=0 FailError=170|1|000000AA|Duvo0 failed [000000AA]
driver cancelled|FailRequestIndex=1 FailError=1223|1|000004C7|Duvo0 failed to intialize [000004C7]
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
        : >empty.bin
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
a folder|3=adir|argument "3=adir": "adir" is a folder
917504 bytes|3=big.bin|argument "3=big.bin": "big.bin" is too large: an image must be shorter than 917504 bytes
an empty file|3=a.bin 4=empty.bin|argument "4=empty.bin": "empty.bin" is empty
empty list|--quiet|no block to write: name BLOCK=FILE or --manifest FILE (see --help)
unwritable log|--log nodir\run.log 3=a.bin|option --log "nodir\run.log": cannot open the log for appending: 
TABLE
        # The log's problem in the system's words, not only its number.
        grep -Eq 'appending: [A-Za-z][^(]+ \(error 3\)$' err.txt || fail "log problem: $(cat err.txt)"
        # Control characters given in an argument are shown escaped, never raw.
        duvoload $'3=\e[2Jnone\rx.bin'
        expect_rc 2 "control characters in an argument"
        sed 's/\r$//' err.raw | grep -q $'[\e\r]' && fail "raw control characters on stderr: $(od -c err.raw | head -3)"
        grep -qF 'argument "3=\x1B[2Jnone\x0Dx.bin": cannot open' err.txt \
            || fail "control characters in an argument: $(cat err.txt)"
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
        in_console --ctrl-c "block 3: sending 10%" -- "$LOADER" 3=a.bin 4=b.bin 5=b.bin
        expect_rc 130 "one Ctrl+C"
        sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
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
        ;;
    unicode)
        # Names outside the ANSI code page: the file named is the file written, never a
        # look-alike beside it (Omega.bin for Ωmega.bin); stdout and the log in UTF-8; on a
        # console the name shows as typed.
        seed_block_seven
        make_image Omega.bin 1000
        make_image Ωmega.bin 500
        make_image 数据.bin 300
        duvoload --quiet --log run.log 5=Ωmega.bin 6=数据.bin
        expect_rc 0 "names outside the code page"
        sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
        expect_stdout "names outside the code page" "block 5: written 500 bytes" "block 6: written 300 bytes"
        expect_block Ωmega.bin 5
        expect_block 数据.bin 6
        [ "$(cut -f3,4,5,6 run.log | tr -d '\r')" = "$(printf '5\t%s\t500\t%s\n6\t%s\t300\t%s' \
            "$(winpath Ωmega.bin)" "$(sha Ωmega.bin)" "$(winpath 数据.bin)" "$(sha 数据.bin)")" ] \
            || fail "log: $(cat run.log)"
        duvoload --quiet 8=Ωmissing.bin
        expect_rc 2 "a missing file outside the code page"
        expect_stderr_line "a missing file" "duvoload: argument \"8=Ωmissing.bin\": cannot open \"Ωmissing.bin\": No such file or directory"
        in_console --screen -- "$LOADER" 8=Ωmissing.bin
        expect_rc 2 "on a console"
        tr -d '\n' <out.txt | grep -qF 'duvoload: argument "8=Ωmissing.bin": cannot open "Ωmissing.bin"' \
            || fail "the console shows: $(cat out.txt)"
        [ -e "$DATA/block08.bin" ] && fail "block 8 written"
        ;;
    record)
        # The record is never lost: a log that cannot be written stops the run (exit 4); each
        # block's stdout line comes as soon as it ends; the log's times carry their UTC offset;
        # a refused run leaves its lines; every line is flushed to the disk before the next
        # block.
        seed_block_seven
        make_image a.bin 1000
        make_image b.bin 20000
        make_image c.bin 300
        duvoload --quiet --log 'Z:\dev\full' 2=a.bin 3=c.bin
        expect_rc 4 "a full disk"
        sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
        expect_stdout "a full disk" "block 2: written 1000 bytes" "block 3: not attempted"
        [ "$(wc -l <err.txt)" = 1 ] && grep -Eq '^duvoload: log "Z:\\dev\\full": cannot write the log: [A-Za-z][^(]+ \(error [0-9]+\)$' err.txt \
            || fail "a full disk: stderr $(cat err.txt)"
        expect_block a.bin 2
        [ -e "$DATA/block03.bin" ] && fail "a full disk: block 3 written"
        # stdout on a full disk, or a pipe whose reader has gone: the same, said on stderr; the
        # log keeps the record.
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
        sed -i 's/ in [0-9.]* s ([0-9.]* KB\/s)$//' out.txt
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
        ;;
    one-per-socket)
        # One program per socket: a second writer and a probe during a write are refused at once
        # (exit 5) without opening the card, and the write goes on undisturbed; a lock left by a
        # program that was killed counts as free.
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
        [ "$(sed 's/ in [0-9.]* s ([0-9.]* KB\/s)//' writer.out | tr -d '\r')" = "block 10: written 20000 bytes" ] \
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
        ;;
    gang)
        # Several sockets at once: each socket's blocks in order, its own failure its own; the
        # lines of every socket and a summary with each one's exit code; the exit code of the
        # first socket of the list that did not write everything.
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
        for pid in $("$SESSION" processes); do
            tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "--slot 1 --gang-member" && kill -9 "$pid"
        done
        rc=0
        wait "$bg" || rc=$?
        tr -d '\r' <killed.out >out.txt
        expect_rc 1 "a killed socket"
        expect_socket_lines "a killed socket" 0 "block 12: written 20000 bytes" "block 13: written 700 bytes"
        expect_socket_lines "a killed socket" 1 "block 12: failed [0000042B] its process ended unexpectedly" "block 13: not attempted"
        expect_summary "a killed socket" "1 of 2 sockets written (socket 0: 0, socket 1: 1)"
        [ "$(cut -f2,3,7 killed.log | tr -d '\r' | sort | tr '\t\n' ':,')" = "0:12:written,0:13:written,1:12:failed 0000042B,1:13:not attempted," ] \
            || fail "a killed socket: log $(cat killed.log)"
        # The parent killed while its sockets wait for their flash: the job ends their processes
        # with it. The extended wait polls at least 400 times 80 ms, so without the job they
        # would outlive the check by far.
        for socket in 0 1; do
            "$SESSION" card-config --socket $socket ProgrammingTimeMs=120000 ExtendedWait=1
        done
        duvoload_in_background orphans --slots 0,1 2=b.bin
        wait_for_line orphans.err "socket 1 block 2: programming flash"
        members() {
            for pid in $("$SESSION" processes); do
                tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "--gang-member" && echo "$pid"
            done
        }
        [ -n "$(members)" ] || fail "a killed parent: no socket's process found"
        for pid in $("$SESSION" processes); do
            tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "--slots 0,1 2=" && kill -9 "$pid"
        done
        wait "$bg" || true
        for i in $(seq 150); do [ -z "$(members)" ] && break; sleep 0.1; done
        [ -z "$(members)" ] || fail "a killed parent: its sockets' processes still run"
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
        ;;
    gang-stress)
        # Four sockets at once, three rounds of fresh images: every block file of every socket
        # holds this round's image. Socket 2 wants the extended flash wait, and in round 1
        # programs for longer than the standard wait allows; socket 3 fails in round 2: neither's
        # wait, text nor code may reach another socket's report.
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
        ;;
    *)
        echo "unknown scenario $scenario" >&2
        exit 2
        ;;
esac

finish
