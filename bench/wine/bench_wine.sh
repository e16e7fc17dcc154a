#!/usr/bin/env bash
# `make bench-wine`: the Wine-side benchmark in a session of its own.
#
#   bench_wine.sh WIN32_BUILD_DIR WIN64_BUILD_DIR
#
# On the build this machine's Wine runs (the harness's `arch`). Then the gang measure: one image
# (DUVO_BENCH_GANG_BYTES, default 65,537 bytes) written by duvoload into one socket alone, into
# two sockets at once and into four, each run timed whole (the shorter of two), and the ratios
# to the one socket. Then the station measure: a 4,000-byte image written by a station into every
# card inserted (a fresh card put in with the harness's card-insert), the time from a card's
# insertion until the station writes it, and the cards per minute of one socket and of two at once
# (one station on both).
# DUVO_BENCH_GANG_ONLY=1 skips the first part; DUVO_BENCH_STATION_ONLY=1 runs the station alone.
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
if [ -z "${DUVO_BENCH_GANG_ONLY:-}" ] && [ -z "${DUVO_BENCH_STATION_ONLY:-}" ]; then
    "$SESSION" run "$build/bench/wine/download_bench_wine.exe" "$("$SESSION" winpath "$data/status.txt")" \
        "${DUVO_BENCH_IMAGE_BYTES:-917503}" "$("$SESSION" winpath "$duvoload")" | tr -d '\r'
fi

if [ -z "${DUVO_BENCH_STATION_ONLY:-}" ]; then
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
fi
"$SESSION" card-slots

# ---- station: from insertion to the card answering, and cards per minute ----
work="$build/bench/wine/station"
rm -rf "$work"
mkdir -p "$work"
image="$work/station.bin"
head -c 4000 /dev/urandom >"$image"
"$SESSION" card-slots 2
now() { date +%s.%N; }
# Waits until FILE holds COUNT lines with TEXT; prints the time it saw them.
seen_at() {  # FILE TEXT COUNT
    local i
    for i in $(seq 6000); do
        [ "$(tr -d '\r' <"$1" | grep -cF -- "$2")" -ge "$3" ] && { now; return 0; }
        sleep 0.01
    done
    echo "bench-wine: no '$2' in $1" >&2
    exit 1
}
# A station on SOCKETS (one process, --slot or --slots), CARDS cards each: a fresh card is put into
# each socket (card-insert) once the station waits for one there, and taken out (card-remove)
# once it has been written. Prints each insertion-to-answer time (from the card in place to the
# station writing it), then the seconds from the first insertion to the last card written.
station_round() {  # CARDS SOCKETS...
    local cards="$1" card socket inserted first="" last pid slots
    shift
    for socket in "$@"; do "$SESSION" card-remove "$socket"; done
    slots=(--slot "$1")
    [ $# = 1 ] || slots=(--slots "$(IFS=,; echo "$*")")
    "$SESSION" run "$duvoload" --station "${slots[@]}" --cards "$cards" "14=Z:${image//\//\\}" \
        >"$work/out.txt" 2>"$work/err.txt" &
    pid=$!
    for card in $(seq "$cards"); do
        for socket in "$@"; do
            seen_at "$work/err.txt" "socket $socket: waiting for a card" "$card" >/dev/null
            "$SESSION" card-insert "$socket" ProgrammingTimeMs=0
            inserted="$(now)"
            [ -n "$first" ] || first="$inserted"
            echo "answer $(seen_at "$work/err.txt" "socket $socket card $card: writing" 1) $inserted" \
                | awk '{printf "%.3f\n", $2 - $3}'
        done
        for socket in "$@"; do
            last="$(seen_at "$work/err.txt" "socket $socket card $card: written" 1)"
            [ "$card" = "$cards" ] || "$SESSION" card-remove "$socket"
        done
    done
    wait "$pid"
    echo "$first $last" | awk '{printf "total %.3f\n", $2 - $1}'
}
one="$(station_round 3 0)"
two="$(station_round 3 0 1)"
"$SESSION" card-slots
{ echo "$one" | sed 's/^/one /'; echo "$two" | sed 's/^/two /'; } | awk '
    $2 != "total" { n++; sum += $2; if ($2 > max) max = $2 }
    $1 == "one" && $2 == "total" { one = $3 }
    $1 == "two" && $2 == "total" { two = $3 }
    END {
        printf "station image:    4000 bytes into block 14, 3 cards per socket, put in with card-insert\n"
        printf "station insertion to answer: mean %.2f s, longest %.2f s over %d cards (goal <= 1 s)\n", sum / n, max, n
        printf "station 1 socket:  %6.1f cards/min (3 cards in %.2f s, the harness'"'"'s removal and insertion included)\n", 3 * 60 / one, one
        printf "station 2 sockets: %6.1f cards/min (6 cards in %.2f s, one station on --slots 0,1)\n", 6 * 60 / two, two
    }'
