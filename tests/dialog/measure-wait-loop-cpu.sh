#!/usr/bin/env bash
# Measures (does not check) the CPU time the loader spends during one 65,537-byte download
# through its dialog: the wait-loop-cpu scenario of dialog_test.exe, sampled from the Linux side
# as well, per thread of the loader and for the wineserver that answers its message-queue calls.
#
#   measure-wait-loop-cpu.sh
#
# Environment: as dialog_scenarios.sh.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SESSION="$HERE/../../scripts/wine-session.sh"

if [ "${1:-}" != "--in-session" ]; then
    exec env -u DISPLAY "$SESSION" -b "$DUVO_BUILD_DIR" -d "$DUVO_DRIVER_DIR" \
        session -- "$0" --in-session
fi

work="$DUVO_BUILD_DIR/dialog-shots/wait-loop-cpu"
rm -rf "$work"
mkdir -p "$work"
ticks=$(getconf CLK_TCK)

cpu_of() {  # PID: utime+stime in clock ticks
    awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0
}

"$SESSION" run "$DUVO_DIALOG_TEST_EXE" wait-loop-cpu "$("$SESSION" winpath "$DUVO_LOADER_EXE")" \
    "$("$SESSION" winpath "$work/")" | tr -d '\r' &
runner=$!

server="$(sed -n 's/^wineserver=//p' "$(dirname "$WINEPREFIX")/session.state")"
ours() {  # PID: a process of this session's prefix
    tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"
}
find_loader() {
    local pid
    for pid in $(pgrep -f '^"?[^ "]*DuvoPcmciaLoader\.exe' || true); do
        ours "$pid" && { echo "$pid"; return; }
    done
}
loader=""
declare -A first last
server_first=""
while kill -0 "$runner" 2>/dev/null; do
    [ -n "$loader" ] && kill -0 "$loader" 2>/dev/null || loader="$(find_loader)"
    if [ -n "$loader" ] && [ -d "/proc/$loader/task" ]; then
        for task in /proc/"$loader"/task/*; do
            tid="${task##*/}"
            t="$(cpu_of "$loader/task/$tid")"
            [ -n "${first[$tid]:-}" ] || first[$tid]=$t
            last[$tid]=$t
        done
        server_now="$(cpu_of "$server")"
        [ -n "$server_first" ] || server_first=$server_now
        server_last=$server_now
    fi
    sleep 0.2
done
wait "$runner" || true

echo "Linux view, CPU seconds over the loader's life (the download is almost all of it):"
for tid in "${!last[@]}"; do
    used=$((last[$tid] - first[$tid]))
    [ "$used" -gt 0 ] || continue
    role="worker or other thread"
    [ "$tid" = "$loader" ] && role="main (dialog) thread"
    printf '  thread %s (%s): %s s\n' "$tid" "$role" "$(awk -v u="$used" -v t="$ticks" 'BEGIN { printf "%.2f", u / t }')"
done
printf '  wineserver: %s s\n' \
    "$(awk -v u="$((${server_last:-0} - ${server_first:-0}))" -v t="$ticks" 'BEGIN { printf "%.2f", u / t }')"
