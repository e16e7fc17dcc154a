# Shared by the Wine scenario scripts (sourced, not run): each scenario runs in a Wine session of
# its own with the virtual card, in a fresh work folder, and checks the card's block files.
#
#   source scenario_lib.sh WORK_NAME "$@"      (the calling script's own arguments)
#
# The first call re-executes the calling script inside a session; there, the scenario's name is
# in $scenario, its folder in $WORK (the current directory), socket 0's folder in $DATA.
# Environment: DUVO_BUILD_DIR (tree with the prefix), DUVO_DRIVER_DIR (the driver and its tool).

SESSION="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)/wine-session.sh"

if [ "${2:-}" != "--in-session" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 SCENARIO" >&2; exit 2; }
    exec "$SESSION" -b "$DUVO_BUILD_DIR" -d "$DUVO_DRIVER_DIR" session -- "$0" --in-session "$2"
fi
scenario="$3"

WORK="$DUVO_BUILD_DIR/wine/$1/$scenario"
DATA="$("$SESSION" data-dir)"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"
# shellcheck source=checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

make_image() {  # NAME BYTES
    head -c "$2" /dev/urandom >"$WORK/$1"
}

# Runs a Windows program in $WORK: exit code in $rc, stdout in out.txt, stderr in err.txt, both
# without CRs.
run_captured() {  # PROGRAM ARGS...
    rc=0
    "$SESSION" run "$@" >out.raw 2>err.raw || rc=$?
    tr -d '\r' <out.raw >out.txt
    tr -d '\r' <err.raw >err.txt
    sed 's/^/  | /' out.txt
}

winpath() { "$SESSION" winpath "$WORK/$1"; }  # NAME: a file of the work folder, for Windows

# The card stores whole 128-byte chunks: the image, then zeros up to the chunk boundary.
expect_block() {  # IMAGE BLOCK [DATA_DIR]
    local file size padded
    file="${3:-$DATA}/$(printf 'block%02d.bin' "$2")"
    size="$(stat -c %s "$WORK/$1")"
    padded=$(((size + 127) / 128 * 128))
    if [ ! -f "$file" ]; then
        fail "no $file"
    elif ! { cat "$WORK/$1"; head -c $((padded - size)) /dev/zero; } | cmp -s - "$file"; then
        fail "$file differs from $1 padded to $padded bytes"
    fi
}

# One counter of a socket's status.txt. The driver rewrites the file whole at every open and
# close of its device, and those run in the driver's host after the program's own call has
# returned: a read can meet the file cut short, so it is read again until its last line is there.
card_status() {  # KEY [DATA_DIR]
    local file="${2:-$DATA}/status.txt" i
    for i in $(seq 100); do
        grep -q '^blocks_programmed=' "$file" 2>/dev/null && break
        sleep 0.05
    done
    sed -n "s/^$1=//p" "$file" 2>/dev/null | tr -d '\r'
}

snapshot_blocks() {  # NAME [DATA_DIR]
    (cd "${2:-$DATA}" && md5sum block*.bin 2>/dev/null || true) >"$WORK/$1"
}

expect_blocks_unchanged() {  # [CONTEXT]: against the snapshot blocks.before
    snapshot_blocks blocks.after
    cmp -s "$WORK/blocks.before" "$WORK/blocks.after" || fail "${1:+$1: }a block file changed"
}
