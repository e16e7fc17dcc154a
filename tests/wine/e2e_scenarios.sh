#!/usr/bin/env bash
# End-to-end download scenarios under Wine: the real DownloadImage (download_e2e.exe, i686)
# through the real driver (duvo_virtual_card.sys), each scenario in a Wine session of its own.
#
#   e2e_scenarios.sh SCENARIO
#
# Environment: DUVO_BUILD_DIR (tree with the prefix), DUVO_DRIVER_DIR (the driver and its
# service tool), DUVO_E2E_EXE (download_e2e.exe), DUVO_SOCKET_EXE (socket_download.exe).
set -euo pipefail

source "$(dirname "$0")/scenario_lib.sh" e2e "$@"

# Runs one download; its report lands in $WORK/report.
download() {  # IMAGE BLOCK
    "$SESSION" run "$DUVO_E2E_EXE" "$(winpath "$1")" "$2" | tr -d '\r' >"$WORK/report"
    sed 's/^/  | /' "$WORK/report"
}

expect() {  # KEY VALUE
    local actual
    actual="$(sed -n "s/^$1=//p" "$WORK/report")"
    [ "$actual" = "$2" ] || fail "$1 is '$actual', expected '$2'"
}

expect_status() {  # KEY VALUE [DATA_DIR], from the driver's status.txt
    local actual
    actual="$(card_status "$1" "${3:-$DATA}")"
    [ "$actual" = "$2" ] || fail "status $1 is '$actual', expected '$2'"
}

# Opens socket N (and downloads IMAGE into BLOCK when given); its report lands in $WORK/report.
socket_download() {  # N [IMAGE BLOCK]
    local args=("$1")
    [ $# -eq 1 ] || args+=("$(winpath "$2")" "$3")
    "$SESSION" run "$DUVO_SOCKET_EXE" "${args[@]}" | tr -d '\r' >"$WORK/report"
    sed 's/^/  | /' "$WORK/report"
}

# A failed download leaves every block file as it was: one block is programmed first, so that
# there is something to change.
with_programmed_block() {
    "$SESSION" card-reset
    "$SESSION" card-config ProgrammingTimeMs=5
    make_image seed.bin 300
    download seed.bin 7
    expect result 0x00000000
    snapshot_blocks blocks.before
}

expect_failure() {  # RESULT TEXT WM_APP
    expect result "$1"
    expect message "$2"
    expect message_boxes 1
    expect caption Update
    expect style 0x00000010
    expect wm_app "$3"
}

case "$scenario" in
    success)
        "$SESSION" card-reset
        "$SESSION" card-config ProgrammingTimeMs=5 Trace=1
        make_image small.bin 1000
        download small.bin 3
        expect result 0x00000000
        expect message_boxes 0
        expect wm_app 1
        expect percent 100
        expect_block small.bin 3
        make_image large.bin 65537
        download large.bin 12
        expect result 0x00000000
        expect wm_app 1
        expect percent 100
        expect_block large.bin 12
        expect_block small.bin 3
        expect_status config_values_rejected 0
        expect_status trace 1
        # The trace: one line per register request, the first of them a status read.
        head -n 1 "$DATA/trace.txt" | grep -Eq '^R 1 [0-9A-F]{2} [0-9]+$' \
            || fail "trace does not start with a status read"
        [ "$(wc -l <"$DATA/trace.txt")" -gt 70000 ] || fail "trace too short"
        ;;
    extended-wait)
        # Programming outlasts the standard wait (2 x 20 receive calls of 40 polls) but not
        # the extended one the ready reply "DUVORDYORN" asks for.
        "$SESSION" card-reset
        "$SESSION" card-config ProgrammingTimeMs=5000 ExtendedWait=1
        make_image image.bin 1000
        download image.bin 4
        expect result 0x00000000
        expect message_boxes 0
        expect wm_app 1
        expect percent 100
        expect_block image.bin 4
        ;;
    device-absent)
        with_programmed_block
        "$SESSION" driver-stop
        download seed.bin 7
        expect_failure 0xFFFFFFFF 'Duvo0 open failed [00000002]\n' 0
        expect percent -1
        expect_blocks_unchanged
        ;;
    no-request-reply)
        with_programmed_block
        "$SESSION" card-config ProgrammingTimeMs=5 RequestReply=1
        make_image image.bin 1000
        download image.bin 7
        expect_failure 0x05419368 'Duvo0 not respond [05419368]\n' 0
        expect percent -1
        expect_blocks_unchanged
        ;;
    silent-after-chunk)
        with_programmed_block
        "$SESSION" card-config ProgrammingTimeMs=5 SilentAfterChunk=3
        make_image image.bin 1000
        download image.bin 7
        expect_failure 0x87025353 'Duvo0 not respond [87025353]\n' 0
        expect percent 25
        expect_blocks_unchanged
        ;;
    flash-never-completes)
        with_programmed_block
        "$SESSION" card-config ProgrammingTimeMs=5 Flash=1
        make_image image.bin 1000
        download image.bin 7
        expect_failure 0x87025353 'Duvo0 not respond [87025353]\n' 1
        expect percent 95
        expect_blocks_unchanged
        # A reply with the completion's code and another text is not the completion either.
        "$SESSION" card-config ProgrammingTimeMs=5 Flash=4
        download image.bin 8
        expect_failure 0x87025353 'Duvo0 not respond [87025353]\n' 1
        expect percent 95
        expect_status config_values_rejected 0
        ;;
    driver-error)
        # A failing driver request hands its Windows error code up unchanged: request 0 is the
        # card information, request 1 the hardware initialisation.
        with_programmed_block
        "$SESSION" card-config FailRequestIndex=0 FailError=1117
        download seed.bin 7
        expect_failure 0x0000045D 'Duvo0 failed [0000045D]\n' 0
        "$SESSION" card-config FailRequestIndex=1 FailError=21
        download seed.bin 7
        expect_failure 0x00000015 'Duvo0 failed to intialize [00000015]\n' 0
        "$SESSION" card-config FailRequestIndex=1 FailError=1167 NoSuchValue=3
        download seed.bin 7
        expect_failure 0x0000048F 'Duvo0 failed to intialize [0000048F]\n' 0
        expect_status config_values_rejected 1
        expect_status config_rejected_names NoSuchValue
        expect_blocks_unchanged
        ;;
    sockets)
        # Each socket is a card of its own: configuration, blocks, status. Slots is read when
        # the driver starts; card-slots restarts it.
        "$SESSION" card-reset
        "$SESSION" card-slots 2
        "$SESSION" card-config ProgrammingTimeMs=5
        "$SESSION" card-config --socket 1 ProgrammingTimeMs=5 Trace=1
        DATA1="$("$SESSION" data-dir --socket 1)"
        make_image seed.bin 300
        download seed.bin 7
        expect result 0x00000000
        snapshot_blocks blocks.before
        make_image one.bin 1000
        socket_download 1 one.bin 7
        expect open_error 0
        expect result ok
        expect_block one.bin 7 "$DATA1"
        expect_blocks_unchanged
        expect_status socket 1 "$DATA1"
        expect_status blocks_programmed 1 "$DATA1"
        expect_status trace 1 "$DATA1"
        [ -s "$DATA1/trace.txt" ] || fail "no trace for socket 1"
        [ ! -e "$DATA/trace.txt" ] || fail "socket 1 traced into socket 0's directory"
        # A fault of socket 1 leaves socket 0 alone, and socket 0's Slots is no unknown value.
        "$SESSION" card-config --socket 1 RequestReply=1
        download seed.bin 7
        expect result 0x00000000
        expect_status socket 0
        expect_status config_values_rejected 0
        socket_download 1 one.bin 5
        expect result no_ready_reply
        [ ! -e "$DATA1/block05.bin" ] || fail "socket 1 wrote block 5"
        socket_download 2
        expect open_error 2
        # Socket 1's card taken out and a fresh one put in while the driver runs: no device
        # while the socket is empty (socket 0 keeps its card), then a card with blank blocks
        # and a configuration of its own.
        "$SESSION" card-remove 1
        socket_download 1
        expect open_error 2
        download seed.bin 7
        expect result 0x00000000
        "$SESSION" card-insert 1 ProgrammingTimeMs=5
        [ ! -e "$DATA1/block07.bin" ] || fail "the fresh card in socket 1 kept block 7's file"
        socket_download 1 one.bin 5
        expect open_error 0
        expect result ok
        expect_block one.bin 5 "$DATA1"
        expect_status card 1 "$DATA1"
        expect_status card_blocks 1 "$DATA1"
        "$SESSION" card-remove 1
        # Slots outlives card-config of socket 0, and a driver restart, which loads each
        # socket's blocks from its own folder and starts with a card in every socket.
        "$SESSION" driver-stop >/dev/null
        "$SESSION" driver-start >/dev/null
        socket_download 1
        expect open_error 0
        expect_status blocks_loaded 1 "$DATA1"
        expect_status card 0 "$DATA1"
        # Slots out of range: one socket, and the value counted as rejected at every open.
        "$SESSION" card-slots 9
        socket_download 1
        expect open_error 2
        download seed.bin 7
        expect result 0x00000000
        expect_status config_values_rejected 1
        expect_status config_rejected_names Slots
        # No Slots value: the default, only \\.\duvo0.
        "$SESSION" card-slots
        socket_download 0
        expect open_error 0
        socket_download 1
        expect open_error 2
        snapshot_blocks socket1.after "$DATA1"
        grep -q ' block05.bin$' "$WORK/socket1.after" || fail "socket 1's block lost"
        "$SESSION" card-config --socket 1
        ;;
    *)
        echo "unknown scenario $scenario" >&2
        exit 2
        ;;
esac

finish
