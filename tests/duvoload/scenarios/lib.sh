# Shared by the duvoload scenarios under Wine (sourced, not run; one scenario per file beside
# it): duvoload.exe against the virtual card driver, each scenario in a session of its own.
#
#   source lib.sh "$@"      (the scenario script's own arguments)
#
# Environment: DUVO_BUILD_DIR (the tree with duvoload.exe, console_runner.exe and the prefix),
# DUVO_DRIVER_DIR (the driver and its service tool).

# shellcheck source=../../wine/scenario_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../wine/scenario_lib.sh" duvoload \
    "${@:-$(basename "$0" .sh)}"

LOADER="$DUVO_BUILD_DIR/app/duvoload/duvoload.exe"
RUNNER="$DUVO_BUILD_DIR/tests/duvoload/console_runner.exe"

duvoload() { run_captured "$LOADER" "$@"; }
# RUNNER-OPTIONS... -- "$LOADER" ARGS...: duvoload on a console of console_runner's, which can
# press Ctrl+C, end it, or show what the console's screen holds.
in_console() { run_captured "$RUNNER" "$@"; }

# A written block's line without its time and speed: "block 3: written 20000 bytes".
without_speed() { sed 's/ in [0-9.]* s ([0-9.]* KB\/s)$//'; }
strip_speed() {  # [FILE]: in place, out.txt by default
    local file="${1:-out.txt}"
    without_speed <"$file" >"$file.tmp" && mv "$file.tmp" "$file"
}

# Starts duvoload in the background (stdout in NAME.out, stderr in NAME.err); its pid in $bg.
duvoload_in_background() {  # NAME ARGS...
    local name="$1"
    shift
    "$SESSION" run "$LOADER" "$@" >"$name.out" 2>"$name.err" &
    bg=$!
}

# Waits for a line of FILE holding TEXT, for as long as the background program ($bg) runs: on a
# loaded machine the line may be minutes away.
wait_for_line() {  # FILE TEXT
    while ! grep -qF -- "$2" "$1" 2>/dev/null; do
        if ! kill -0 "$bg" 2>/dev/null; then
            grep -qF -- "$2" "$1" 2>/dev/null && return 0
            fail "no line with '$2' in $1: $(tr -d '\r' <"$1" | tail -3)"
            return 1
        fi
        sleep 0.1
    done
}

# The session's processes whose command line holds TEXT ("--slot 1 --gang-member").
processes_with() {  # TEXT
    local pid
    for pid in $("$SESSION" processes); do
        tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "$1" && echo "$pid"
    done
    return 0
}

# Kills them as a crash would: no handler of theirs runs.
kill_processes_with() {  # TEXT
    local pid
    for pid in $(processes_with "$1"); do kill -9 "$pid"; done
}

# Waits for the background duvoload NAME ($bg): its exit code in $rc, its stdout without CRs in
# out.txt.
await_background() {  # NAME
    rc=0
    wait "$bg" || rc=$?
    tr -d '\r' <"$1.out" >out.txt
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
    sed -n "s/^socket $1 //p" out.txt | without_speed
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
