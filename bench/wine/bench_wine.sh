#!/usr/bin/env bash
# `make bench-wine`: the Wine-side benchmark in a session of its own.
#
#   bench_wine.sh WIN32_BUILD_DIR WIN64_BUILD_DIR
#
# On the build this machine's Wine runs (the harness's `arch`). Then the gang measure: one image
# (DUVO_BENCH_GANG_BYTES, default 65,537 bytes) written by duvoload into one socket alone, into
# two sockets at once and into four, each run timed whole (the shorter of two), and the ratios
# to the one socket.
# DUVO_BENCH_GANG_ONLY=1 skips the first part.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SESSION="$HERE/../../scripts/wine-session.sh"

if [ "${1:-}" != "--in-session" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 WIN32_BUILD_DIR WIN64_BUILD_DIR" >&2; exit 2; }
    build="$("$SESSION" tree "$1" "$2")"
    echo "bench-wine: $("$SESSION" arch-reason | sed 's/they run/it measures/'): $build"
    exec "$SESSION" -b "$build" -d "$2/virtualcard/driver" session -- "$0" --in-session "$build"
fi
build="$2"
data="$("$SESSION" data-dir)"
# No programming time and no trace: what is measured is the download's own cost per request.
"$SESSION" card-config ProgrammingTimeMs=0
# The dialog's DownloadImage, then the command line's duvoload.exe, on the same image.
duvoload="$(cd "$build" && pwd)/app/duvoload/duvoload.exe"
if [ -z "${DUVO_BENCH_GANG_ONLY:-}" ]; then
    "$SESSION" run "$build/bench/wine/download_bench_wine.exe" "$("$SESSION" winpath "$data/status.txt")" \
        "${DUVO_BENCH_IMAGE_BYTES:-917503}" "$("$SESSION" winpath "$duvoload")" | tr -d '\r'
fi

# ---- gang: several sockets at once against one alone ----
work="$build/bench/wine/gang"
rm -rf "$work"
mkdir -p "$work"
image="$work/gang.bin"
head -c "${DUVO_BENCH_GANG_BYTES:-65537}" /dev/urandom >"$image"
image_argument="14=$("$SESSION" winpath "$image")"
"$SESSION" card-slots 4
for socket in 0 1 2 3; do "$SESSION" card-config --socket "$socket" ProgrammingTimeMs=0; done
shorter() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a < b ? a : b }'; }
# Seconds for one duvoload run writing the image into block 14 of the sockets given.
timed_run() {  # SOCKET-OPTION LIST
    local start end
    start="$(date +%s.%N)"
    "$SESSION" run "$duvoload" --quiet "$1" "$2" "$image_argument" >"$work/out.txt" \
        || { echo "bench-wine: gang run $1 $2 failed: $(tr -d '\r' <"$work/out.txt")" >&2; exit 1; }
    end="$(date +%s.%N)"
    echo "$start $end" | awk '{printf "%.2f", $2 - $1}'
}
# A first run warms the session up (process start, caches); then each measure twice, in the
# order 1 2 4 4 2 1 so that load drifting during the run favours none, the shorter kept.
timed_run --slot 0 >/dev/null
one="$(timed_run --slot 0)"
two="$(timed_run --slots 0,1)"
four="$(timed_run --slots 0-3)"
four="$(shorter "$four" "$(timed_run --slots 0-3)")"
two="$(shorter "$two" "$(timed_run --slots 0,1)")"
one="$(shorter "$one" "$(timed_run --slot 0)")"
awk -v bytes="$(stat -c %s "$image")" -v one="$one" -v two="$two" -v four="$four" -v cores="$(nproc)" 'BEGIN {
    printf "gang image:       %d bytes into block 14, duvoload runs timed whole, the shorter of two (%d cores)\n", bytes, cores
    printf "gang 1 socket:    %6.2f s\n", one
    printf "gang 2 sockets:   %6.2f s   ratio %.2f (goal <= 1.2; 2.00 in sequence)\n", two, two / one
    printf "gang 4 sockets:   %6.2f s   ratio %.2f (4.00 in sequence)\n", four, four / one
}'
"$SESSION" card-slots
