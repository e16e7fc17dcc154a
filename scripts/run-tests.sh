#!/usr/bin/env bash
# `make test` once the Windows tree that Wine runs here is built: the Wine suite, and beside it
# the rest (both native trees built and their tests run, and the other Windows tree's build). The
# Wine tests spend much of their time waiting on their sessions and the card; the builds fill it.
# The rest's output is kept in a log and printed whole after the Wine suite's, so neither
# interleaves with the other; the exit code is the first failure's.
#
#   run-tests.sh BUILD_DIR WINE_TREE MAKE_ARGS...
#
# MAKE_ARGS: the make goals (and variables) of the rest, run as `make MAKE_ARGS`.
set -uo pipefail

build="$1"
wine_tree="$2"
shift 2
log="$build/tests-beside-wine.log"

mkdir -p "$build"
# In a process group of its own, so that an interrupted or ended `make test` ends all of it. Under
# the idle scheduling policy: a Wine test's every driver request is a round trip through three
# processes (the program, wineserver and the driver's host), and a compiler beside them, even at
# nice 19, holds the CPU a little at each of their wakeups; an idle-policy process yields at once.
setsid chrt --idle 0 "${MAKE:-make}" --no-print-directory "$@" >"$log" 2>&1 &
rest=$!
end_rest() { kill -- -"$rest" 2>/dev/null; wait "$rest" 2>/dev/null; }
trap 'end_rest; exit 130' INT
trap 'end_rest; exit 143' TERM HUP

wine_rc=0
ctest --output-on-failure -j2 --test-dir "$build/$wine_tree" || wine_rc=$?

rest_rc=0
wait "$rest" || rest_rc=$?
echo
echo "---- built and run beside the Wine suite: make $* ----"
cat "$log"
[ "$rest_rc" -eq 0 ] || echo "make $*: failed (exit code $rest_rc)"
[ "$wine_rc" -eq 0 ] || echo "the Wine suite ($build/$wine_tree): failed (exit code $wine_rc)"
if [ "$wine_rc" -ne 0 ]; then exit "$wine_rc"; fi
exit "$rest_rc"
