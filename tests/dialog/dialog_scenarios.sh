#!/usr/bin/env bash
# One dialog scenario (see dialog_test.cpp) in a Wine session of its own, with the virtual card
# driver installed; always headless, in the session's own Xvfb. Screenshots land as PNG files in
# DUVO_BUILD_DIR/dialog-shots/SCENARIO/.
#
#   dialog_scenarios.sh SCENARIO
#
# Environment: DUVO_BUILD_DIR, DUVO_DRIVER_DIR, DUVO_DIALOG_TEST_EXE, DUVO_LOADER_EXE.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SESSION="$HERE/../../scripts/wine-session.sh"

if [ "${1:-}" != "--in-session" ]; then
    [ $# -eq 1 ] || { echo "usage: $0 SCENARIO" >&2; exit 2; }
    exec env -u DISPLAY "$SESSION" -b "$DUVO_BUILD_DIR" -d "$DUVO_DRIVER_DIR" \
        session -- "$0" --in-session "$1"
fi
scenario="$2"

work="$DUVO_BUILD_DIR/dialog-shots/$scenario"
rm -rf "$work"
mkdir -p "$work"
to_windows() { echo "Z:${1//\//\\}"; }

rc=0
"$SESSION" run "$DUVO_DIALOG_TEST_EXE" "$scenario" "$(to_windows "$DUVO_LOADER_EXE")" \
    "$(to_windows "$work")\\" | tr -d '\r' || rc=$?

# Keep the screenshots, as PNG; drop the scenario's images.
for bmp in "$work"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
find "$work" -maxdepth 1 -type f -name '*.bin' -delete
echo "screenshots: $(cd "$work" && ls ./*.png 2>/dev/null | tr '\n' ' ')"
exit $rc
