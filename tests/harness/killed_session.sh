#!/usr/bin/env bash
# A Wine session whose runner is killed the way ctest ends a test that timed out (every process
# of the runner's tree, SIGKILL, no trap runs), then the prefix folder deleted: the next session
# must recreate the prefix, end every process the killed one left, and leave nothing itself.
#
# Environment: DUVO_BUILD_DIR, DUVO_DRIVER_DIR.
set -euo pipefail

SESSION="$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-session.sh"
# One slot of the pool held throughout: no other test's session may start in the prefix that
# this test kills and deletes.
if [ -z "${DUVO_WINE_SLOT:-}" ]; then
    exec bash "$SESSION" -b "$DUVO_BUILD_DIR" hold-slot -- bash "$0"
fi
prefix="$("$SESSION" -b "$DUVO_BUILD_DIR" env | sed -n "s/^export WINEPREFIX='\([^']*\)'.*/\1/p")"
[ -n "$prefix" ] || { echo "FAIL: no prefix for slot $DUVO_WINE_SLOT" >&2; exit 1; }
up="$(dirname "$prefix")/killed-session.up"
scenario=killed_session
# shellcheck source=../wine/checks.sh
source "$(dirname "$0")/../wine/checks.sh"

# pid:start-time, so that a pid reused by another process does not count as the same process.
identity() { echo "$1:$(cut -d' ' -f22 "/proc/$1/stat" 2>/dev/null)"; }
alive() { [ "$(identity "${1%%:*}")" = "$1" ]; }
descendants() {
    local child
    for child in $(ps -o pid= --ppid "$1"); do
        echo "$child"
        descendants "$child"
    done
}
session_processes() { "$SESSION" -b "$DUVO_BUILD_DIR" processes; }

# 1. A session that stays up until it is killed.
rm -f "$up"
env -u DISPLAY "$SESSION" -b "$DUVO_BUILD_DIR" -d "$DUVO_DRIVER_DIR" \
    session -- bash -c 'touch "$1"; exec sleep 600' _ "$up" &
runner=$!
for _ in $(seq 1200); do
    [ -e "$up" ] && break
    kill -0 "$runner" 2>/dev/null || break
    sleep 0.1
done
[ -e "$up" ] || { fail "the first session did not come up"; finish; }
rm -f "$up"

# 2. Killed as a timed-out test is: the whole tree stopped, then SIGKILLed.
tree="$runner $(descendants "$runner")"
# shellcheck disable=SC2086
kill -STOP $tree 2>/dev/null || true
# shellcheck disable=SC2086
kill -KILL $tree 2>/dev/null || true
wait "$runner" 2>/dev/null || true
sleep 1
stale=()
for pid in $(session_processes); do
    stale+=("$(identity "$pid")")
done
echo "left behind by the killed session: ${#stale[@]} processes:"
for id in "${stale[@]}"; do
    echo "  ${id%%:*} $(tr '\0' ' ' <"/proc/${id%%:*}/cmdline" 2>/dev/null | cut -c1-80)"
done
[ ${#stale[@]} -gt 0 ] || fail "the killed session left no process, so this test proves nothing"

# 3. The prefix deleted, the usual way to reset Wine; the next session recreates it.
rm -rf "$prefix"
rc=0
env -u DISPLAY "$SESSION" -b "$DUVO_BUILD_DIR" -d "$DUVO_DRIVER_DIR" \
    session -- bash -c 'test -e "$1/drive_c/windows/system32/drivers/duvo_virtual_card.sys"' _ \
    "$prefix" || rc=$?
[ "$rc" -eq 0 ] || fail "the next session did not run with a recreated prefix and driver (exit $rc)"
for id in "${stale[@]}"; do
    alive "$id" && fail "process ${id%%:*} of the killed session is still running"
done

# 4. Nothing of either session is left.
left="$(session_processes | tr '\n' ' ')"
[ -z "$left" ] || fail "processes of the prefix still running after stop: $left"

finish
