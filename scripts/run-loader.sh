#!/usr/bin/env bash
# `make run`: the loader in a Wine session with the virtual card driver.
#
#   scripts/run-loader.sh WIN32_BUILD_DIR WIN64_BUILD_DIR
#
# It shows the build this machine's Wine runs (the harness's `arch`): the shipped i686 one, or the
# x86_64 one where the kernel runs no 32-bit programs. With DISPLAY set, the loader opens on
# that display and the user works in it; the session ends when the loader does. Without a
# display, headless_run.exe runs one whole download of a sample image into Block 2 through the
# dialog in Xvfb: every status and message is printed, then the comparison of the block with the
# image; screenshots of each phase land in BUILD_DIR/run-shots/.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SESSION="$HERE/wine-session.sh"

if [ "${1:-}" = "--in-session" ]; then
    shift
    mode="$1" loader="$2" runner="$3" shots="$4"
    "$SESSION" card-reset
    if [ "$mode" = display ]; then
        "$SESSION" card-config ProgrammingTimeMs=1000
        echo "run: the loader is open on $DISPLAY (the card programs block files under $("$SESSION" data-dir))"
        "$SESSION" run "$loader" || true
        exit 0
    fi
    rc=0
    "$SESSION" run "$runner" "$("$SESSION" winpath "$loader")" "$("$SESSION" winpath "$shots/")" \
        | tr -d '\r' || rc=$?
    "$SESSION" png-shots "$shots"
    rm -f "$shots"/*.bin
    echo "screenshots:"
    ls -1 "$shots"/*.png | sed 's/^/  /'
    exit $rc
fi

[ $# -eq 2 ] || { echo "usage: $0 WIN32_BUILD_DIR WIN64_BUILD_DIR" >&2; exit 2; }
build64="$(cd "$2" && pwd)"
build="$("$SESSION" tree "$1" "$2")"
loader="$build/app/DuvoPcmciaLoader.exe"
runner="$build/tests/headless_run/headless_run.exe"
shots="$build/run-shots"
echo "run: $("$SESSION" arch-reason | sed 's/they run/it shows/'): $loader"
rm -rf "$shots"
mkdir -p "$shots"

if [ -n "${DISPLAY:-}" ]; then
    mode=display
else
    mode=headless
fi
exec "$SESSION" -b "$build" -d "$build64/virtualcard/driver" \
    session -- "$0" --in-session "$mode" "$loader" "$runner" "$shots"
