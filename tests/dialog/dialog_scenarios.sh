#!/usr/bin/env bash
# One dialog scenario (see dialog_test.cpp) in a Wine session of its own, with the virtual card
# driver installed; always headless, in the session's own Xvfb. Screenshots land as PNG files in
# DUVO_BUILD_DIR/dialog-shots/[VARIANT-]SCENARIO/.
#
#   dialog_scenarios.sh SCENARIO
#
# Environment: DUVO_BUILD_DIR, DUVO_DRIVER_DIR, DUVO_DIALOG_TEST_EXE, DUVO_LOADER_EXE, and
# DUVO_DIALOG_VARIANT (optional: names a second build of the loader, e.g. x64).
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SESSION="$HERE/../../scripts/wine-session.sh"

if [ "${1:-}" != "--in-session" ]; then
    [ $# -eq 1 ] || { echo "usage: $0 SCENARIO" >&2; exit 2; }
    # A session that fails to come up (seen rarely when it starts right after the previous one
    # ended) is started once more; the scenario itself runs once.
    started="$DUVO_BUILD_DIR/dialog-shots/.started-${DUVO_DIALOG_VARIANT:-}$1"
    mkdir -p "$(dirname "$started")"
    for attempt in 1 2; do
        rm -f "$started"
        rc=0
        env -u DISPLAY "$SESSION" -b "$DUVO_BUILD_DIR" -d "$DUVO_DRIVER_DIR" \
            session -- "$0" --in-session "$1" "$started" || rc=$?
        if [ -e "$started" ] || [ "$attempt" -eq 2 ]; then
            rm -f "$started"
            exit $rc
        fi
        echo "dialog_scenarios: the Wine session did not start; trying once more" >&2
    done
fi
scenario="$2"
touch "$3"

work="$DUVO_BUILD_DIR/dialog-shots/${DUVO_DIALOG_VARIANT:+$DUVO_DIALOG_VARIANT-}$scenario"
rm -rf "$work"
mkdir -p "$work"

rc=0
"$SESSION" run "$DUVO_DIALOG_TEST_EXE" "$scenario" "$("$SESSION" winpath "$DUVO_LOADER_EXE")" \
    "$("$SESSION" winpath "$work/")" | tr -d '\r' || rc=$?

# Keep the screenshots, as PNG; drop the scenario's images.
"$SESSION" png-shots "$work"
find "$work" -maxdepth 1 -type f -name '*.bin' -delete
echo "screenshots: $(cd "$work" && ls ./*.png 2>/dev/null | tr '\n' ' ')"
exit $rc
