#!/usr/bin/env bash
# `make bench-wine`: the Wine-side benchmark in a session of its own.
#
#   bench_wine.sh WIN32_BUILD_DIR WIN64_BUILD_DIR
#
# On the build this machine's Wine runs (the harness's `arch`).
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SESSION="$HERE/../../scripts/wine-session.sh"

if [ "${1:-}" != "--in-session" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 WIN32_BUILD_DIR WIN64_BUILD_DIR" >&2; exit 2; }
    if [ "$("$SESSION" arch)" = win32 ]; then build="$1"; else build="$2"; fi
    echo "bench-wine: $("$SESSION" arch-reason | sed 's/they run/it measures/'): $build"
    exec "$SESSION" -b "$build" -d "$2/virtualcard/driver" session -- "$0" --in-session "$build"
fi
build="$2"
data="$("$SESSION" data-dir)"
# No programming time and no trace: what is measured is the download's own cost per request.
"$SESSION" card-config ProgrammingTimeMs=0
# The dialog's DownloadImage, then the command line's duvoload.exe, on the same image.
duvoload="$(cd "$build" && pwd)/app/duvoload/duvoload.exe"
"$SESSION" run "$build/bench/wine/download_bench_wine.exe" "Z:${data//\//\\}\\status.txt" \
    "${DUVO_BENCH_IMAGE_BYTES:-917503}" "Z:${duvoload//\//\\}" | tr -d '\r'
