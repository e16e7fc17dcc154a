#!/usr/bin/env bash
# Wine session harness for the virtual card driver: one prefix per build tree, a session with the
# driver service loaded, the card configured through the registry, Windows programs run inside it.
#
#   scripts/wine-session.sh -b BUILD_DIR [-d DRIVER_DIR] COMMAND [ARGS...]
#   scripts/wine-session.sh arch | arch-reason
#
# BUILD_DIR holds the prefix (BUILD_DIR/wine/prefix) and the session state; DRIVER_DIR holds
# duvo_virtual_card.sys and duvo_card_service.exe (default: BUILD_DIR/virtualcard/driver, or
# DUVO_DRIVER_DIR). Wine's loader follows the tree's programs (scripts/wine/loader.sh). See
# docs/virtual-card-driver.md for the commands.
set -euo pipefail

readonly SERVICE_NAME=DuvoVirtualCard
readonly DRIVER_FILE=duvo_virtual_card.sys
readonly SERVICE_TOOL=duvo_card_service.exe
readonly PARAMETERS_KEY="HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\${SERVICE_NAME}\\Parameters"
readonly CARD_DATA_DIR_REL="drive_c/ProgramData/DuvoVirtualCard"

die() {
    echo "wine-session: $*" >&2
    exit 1
}

usage() {
    sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
    cat >&2 <<'USAGE'
Commands:
  arch                    print win32 or win64: the build this machine's Wine runs (win64 where
                          the kernel runs no 32-bit programs; DUVO_WINE_ARCH=win32|win64 forces it)
  arch-reason             the same choice in words
  prepare                 create the prefix once (reused afterwards) with a virtual desktop
  install-driver          copy the driver into the prefix and (re)create its auto-start service
  start                   start the session (Xvfb when DISPLAY is unset, wineserver -p, services,
                          driver); prints the environment lines of the session
  stop                    end the session and everything in it, and every process left by a
                          killed session of this prefix; safe to call at any time
  processes               list the pids of this prefix's Wine and Xvfb processes
  session -- CMD [ARGS]   prepare, install-driver, start, run CMD with the session's environment,
                          stop on every exit path; exits with CMD's status
  card-config [--socket N] [NAME=VALUE ...]
                          replace the values of socket N's key (default 0: Parameters; N >= 1:
                          Parameters\SocketN); all its old values are removed except Slots; a
                          VALUE of digits (or 0x hex) is a REG_DWORD, anything else a REG_SZ;
                          NAME:sz=VALUE and NAME:dword=VALUE force the type
  card-slots [N]          set Slots (no N: remove it, one socket) and restart the driver, which
                          reads it at its start; waits until \\.\duvo(N-1) opens
  card-reset              remove the block files, the trace and the status file of every socket
  card-remove N           empty socket N: until card-insert N, \\.\duvoN fails to open (error 2)
  card-insert N [NAME=VALUE ...]
                          put a fresh card into socket N: blank blocks (its block files removed)
                          and the given configuration (as card-config --socket N)
  driver-stop|driver-start|driver-status
                          stop, start or show the driver service inside the running session
  run PROGRAM [ARGS]      run a Windows program in the session, return its exit code
  env                     print the environment lines of the session (eval-able)
  data-dir [--socket N]   print the Linux path of socket N's data directory (default 0)
USAGE
    exit 2
}

HARNESS_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/wine" && pwd)"
# shellcheck source=wine/loader.sh
source "$HARNESS_DIR/loader.sh"

BUILD_DIR="${DUVO_BUILD_DIR:-}"
DRIVER_DIR="${DUVO_DRIVER_DIR:-}"
while getopts "b:d:h" opt; do
    case "$opt" in
        b) BUILD_DIR="$OPTARG" ;;
        d) DRIVER_DIR="$OPTARG" ;;
        *) usage ;;
    esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || usage

# The machine's choice needs no build tree.
case "$1" in
    arch) machine_wine_arch; exit 0 ;;
    arch-reason) machine_wine_arch_reason; exit 0 ;;
esac

[ -n "$BUILD_DIR" ] || die "no build directory (-b or DUVO_BUILD_DIR)"
[ -d "$BUILD_DIR" ] || die "build directory $BUILD_DIR does not exist"
BUILD_DIR="$(cd "$BUILD_DIR" && pwd)"
[ -n "$DRIVER_DIR" ] || DRIVER_DIR="$BUILD_DIR/virtualcard/driver"

readonly WINE_DIR="$BUILD_DIR/wine"
readonly STATE_FILE="$WINE_DIR/session.state"
readonly LOG_DIR="$WINE_DIR/log"

# Every Wine command of this script runs with this environment: never the user's own prefix.
export WINEPREFIX="$WINE_DIR/prefix"
# The markers live inside the prefix: deleting the prefix folder makes the next session recreate it.
readonly READY_MARK="$WINEPREFIX/duvo-prefix.ready"
readonly DRIVER_MARK="$WINEPREFIX/duvo-driver.installed"
export WINEDEBUG="${DUVO_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset WINESERVER
select_loader

for part in processes prefix driver session card; do
    # shellcheck source=/dev/null
    source "$HARNESS_DIR/$part.sh"
done

command="$1"
shift
case "$command" in
    prepare) cmd_prepare ;;
    install-driver) cmd_install_driver ;;
    start) cmd_start ;;
    stop) cmd_stop ;;
    processes) prefix_pids ;;
    session) cmd_session "$@" ;;
    card-config) cmd_card_config "$@" ;;
    card-slots) cmd_card_slots "$@" ;;
    card-reset) cmd_card_reset ;;
    card-remove) cmd_card_remove "$@" ;;
    card-insert) cmd_card_insert "$@" ;;
    driver-stop) cmd_driver stop ;;
    driver-start) cmd_driver start ;;
    driver-status) cmd_driver status ;;
    run) cmd_run "$@" ;;
    env) cmd_env ;;
    data-dir)
        parse_socket "$@"
        card_data_dir "$SOCKET"
        ;;
    *) usage ;;
esac
