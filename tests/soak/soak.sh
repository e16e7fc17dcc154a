#!/usr/bin/env bash
# `make soak`: fifty downloads in one loader session under Wine (see soak_test.cpp), with the
# loader and the driver's host process sampled from Linux too (/proc/PID/status, /proc/PID/fd)
# at the same two moments as from Windows.
#
#   tests/soak/soak.sh WIN32_BUILD_DIR WIN64_BUILD_DIR
#
# On the build this machine's Wine runs (the harness's `arch`).
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SESSION="$HERE/../../scripts/wine-session.sh"

if [ "${1:-}" = "--in-session" ]; then
    soak="$2" loader="$3" work="$4"
    # The Linux process of this prefix that runs the Windows program `name`.
    unix_pid_of() {
        local pid arg0
        for pid in $("$SESSION" processes); do
            IFS= read -r -d '' arg0 <"/proc/$pid/cmdline" 2>/dev/null || true
            [[ "${arg0,,}" == *"${1,,}" ]] && { echo "$pid"; return; }
        done
    }
    # The winedevice.exe that has the card's driver mapped.
    driver_host_pid() {
        local pid
        for pid in $("$SESSION" processes); do
            grep -q duvo_virtual_card.sys "/proc/$pid/maps" 2>/dev/null && { echo "$pid"; return; }
        done
    }
    status_kb() { sed -n "s/^$2:[[:space:]]*\([0-9]*\) kB/\1/p" "/proc/$1/status" 2>/dev/null; }
    # Linux's view of one process: fds, threads, VmData kB, RssAnon kB, VmRSS kB.
    declare -A seen
    linux_sample() {
        local name="$1" who="$2" pid="$3"
        [ -n "$pid" ] || { echo "FAIL: linux $name $who: process not found"; failures=$((failures + 1)); return; }
        seen[$name.$who]="$(ls "/proc/$pid/fd" | wc -l) $(sed -n 's/^Threads:[[:space:]]*//p' "/proc/$pid/status")"
        seen[$name.$who]+=" $(status_kb "$pid" VmData) $(status_kb "$pid" RssAnon) $(status_kb "$pid" VmRSS)"
        printf 'linux  %-6s %-7s pid %5s: fds %s, threads %s, VmData %s kB, RssAnon %s kB, VmRSS %s kB\n' \
            "$name" "$who" "$pid" ${seen[$name.$who]}
    }
    # Flat from Linux: at most 2 more fds, no more threads, and at most 1 MiB more data and
    # anonymous memory. The memory figures include Wine's own Unix-side caches (glyphs, X11),
    # which the Windows view does not see; one image buffer leaked per download would add 3 MB.
    linux_flat() {
        local who="$1" limits=(2 0 1024 1024) labels=(fds threads VmData_kB RssAnon_kB) i
        read -r -a before <<<"${seen[before.$who]:-}"
        read -r -a after <<<"${seen[after.$who]:-}"
        [ ${#before[@]} -ge 4 ] && [ ${#after[@]} -ge 4 ] || return 0
        for i in 0 1 2 3; do
            if [ $((after[i] - before[i])) -gt "${limits[i]}" ]; then
                echo "FAIL: linux $who ${labels[i]} flat: ${before[i]} -> ${after[i]} (tolerance ${limits[i]})"
                failures=$((failures + 1))
            fi
        done
    }
    failures=0
    "$SESSION" card-reset
    "$SESSION" run "$soak" "$("$SESSION" winpath "$loader")" "$("$SESSION" winpath "$work/")" &
    runner=$!
    for name in before after; do
        while [ ! -e "$work/sample-$name.txt" ] && kill -0 "$runner" 2>/dev/null; do sleep 0.2; done
        [ -e "$work/sample-$name.txt" ] || break
        loader_pid="$(unix_pid_of DuvoPcmciaLoader.exe)"
        host_pid="$(driver_host_pid)"
        linux_sample "$name" loader "$loader_pid"
        linux_sample "$name" host "$host_pid"
        echo "loader_hwm_kb=$(status_kb "$loader_pid" VmHWM) host_hwm_kb=$(status_kb "$host_pid" VmHWM)" \
            >"$work/sample-$name.tmp"
        mv "$work/sample-$name.tmp" "$work/sample-$name.done"
    done
    rc=0
    wait "$runner" || rc=$?
    linux_flat loader
    linux_flat host
    echo "soak: Linux view: $failures failed"
    [ "$failures" -eq 0 ] || rc=1
    exit $rc
fi

[ $# -eq 2 ] || { echo "usage: $0 WIN32_BUILD_DIR WIN64_BUILD_DIR" >&2; exit 2; }
build64="$(cd "$2" && pwd)"
build="$("$SESSION" tree "$1" "$2")"
echo "soak: $("$SESSION" arch-reason | sed 's/they run/it runs/'): $build"
work="$build/soak"
rm -rf "$work"
mkdir -p "$work"
start=$(date +%s)
rc=0
env -u DISPLAY "$SESSION" -b "$build" -d "$build64/virtualcard/driver" session -- \
    bash "$0" --in-session "$build/tests/soak/soak_test.exe" "$build/app/DuvoPcmciaLoader.exe" \
    "$work" | tr -d '\r' || rc=$?
echo "soak: run time $(($(date +%s) - start)) s, exit $rc"
exit $rc
