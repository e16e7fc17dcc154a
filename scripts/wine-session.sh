#!/usr/bin/env bash
# Wine session harness for the virtual card driver: one prefix per build tree, a session with the
# driver service loaded, the card configured through the registry, Windows programs run inside it.
#
#   scripts/wine-session.sh -b BUILD_DIR [-d DRIVER_DIR] COMMAND [ARGS...]
#
# BUILD_DIR holds the prefix (BUILD_DIR/wine/prefix) and the session state; DRIVER_DIR holds
# duvo_virtual_card.sys and duvo_card_service.exe (default: BUILD_DIR/virtualcard/driver, or
# DUVO_DRIVER_DIR). See docs/virtual-card-driver.md for the commands.
set -euo pipefail

readonly SERVICE_NAME=DuvoVirtualCard
readonly DRIVER_FILE=duvo_virtual_card.sys
readonly SERVICE_TOOL=duvo_card_service.exe
readonly PARAMETERS_KEY="HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\${SERVICE_NAME}\\Parameters"
readonly CARD_DATA_DIR_REL="drive_c/ProgramData/DuvoVirtualCard"
readonly WINE_FONTS=/usr/share/wine/fonts

die() {
    echo "wine-session: $*" >&2
    exit 1
}

usage() {
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' >&2
    cat >&2 <<'EOF'
Commands:
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
  driver-stop|driver-start|driver-status
                          stop, start or show the driver service inside the running session
  run PROGRAM [ARGS]      run a Windows program in the session, return its exit code
  env                     print the environment lines of the session (eval-able)
  data-dir [--socket N]   print the Linux path of socket N's data directory (default 0)
EOF
    exit 2
}

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
unset WINESERVER WINELOADER

wine_cmd() { wine "$@"; }

# Socket 0 keeps the data directory itself, socket N its subdirectory SocketN.
card_data_dir() {  # [SOCKET]
    local socket="${1:-0}"
    if [ "$socket" -eq 0 ]; then
        echo "$WINEPREFIX/$CARD_DATA_DIR_REL"
    else
        echo "$WINEPREFIX/$CARD_DATA_DIR_REL/Socket$socket"
    fi
}

# Socket 0's key is Parameters itself, socket N's its subkey SocketN.
socket_key() {  # SOCKET
    if [ "$1" -eq 0 ]; then echo "$PARAMETERS_KEY"; else echo "$PARAMETERS_KEY\\Socket$1"; fi
}

# Takes a leading "--socket N" off the arguments: sets SOCKET and SOCKET_SHIFT (0 or 2).
parse_socket() {
    SOCKET=0
    SOCKET_SHIFT=0
    if [ "${1:-}" = "--socket" ]; then
        [[ "${2:-}" =~ ^[0-9]$ ]] || die "--socket takes a socket number from 0 to 7"
        [ "$2" -le 7 ] || die "--socket takes a socket number from 0 to 7"
        SOCKET="$2"
        SOCKET_SHIFT=2
    fi
}

# ---- session state -------------------------------------------------------------------------

state_get() {
    [ -f "$STATE_FILE" ] || return 0
    sed -n "s/^$1=//p" "$STATE_FILE"
}

pid_alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }

# True when `pid` is a process whose environment names our prefix (guards against pid reuse).
pid_is_ours() {
    local pid="$1"
    pid_alive "$pid" || return 1
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
    # Xvfb does not carry our environment; its command line names our display file instead.
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "Xvfb"
}

wait_gone() {
    local pid="$1" i
    for i in $(seq 100); do
        pid_alive "$pid" || return 0
        sleep 0.05
    done
    return 1
}

kill_pid() {
    local pid="$1"
    pid_alive "$pid" || return 0
    kill "$pid" 2>/dev/null || true
    wait_gone "$pid" || { kill -9 "$pid" 2>/dev/null || true; wait_gone "$pid" || true; }
}

# The parent process id of `pid`, read without starting a process.
parent_of() {
    local stat
    read -r stat <"/proc/$1/stat" 2>/dev/null || return 1
    stat="${stat##*) }"
    stat="${stat#* }"
    echo "${stat%% *}"
}

# True when `pid` runs Wine (a Windows program, the loader, wineserver) or Xvfb.
is_session_program() {
    local exe arg0
    exe="$(readlink "/proc/$1/exe" 2>/dev/null)" || return 1
    case "${exe##*/}" in
        wine | wine64 | wine-preloader | wine64-preloader | wineserver* | Xvfb) return 0 ;;
    esac
    IFS= read -r -d '' arg0 <"/proc/$1/cmdline" 2>/dev/null || true
    [[ "${arg0,,}" == *.exe ]]
}

# Every process of this prefix's sessions, by pid: those whose environment names our prefix and
# that run Wine or Xvfb. A killed test leaves such processes behind (its wineserver, services.exe,
# winedevice.exe...), even after the prefix folder is gone. Other prefixes' sessions, which other
# build trees run at the same time, are never listed; neither are this script and its callers.
prefix_pids() {
    local pids=(/proc/[0-9]*) keep=" $$ $BASHPID " p dir pid
    p="$$"
    while p="$(parent_of "$p")" && [ "$p" -gt 1 ]; do keep+="$p "; done
    for dir in "${pids[@]}"; do
        pid="${dir#/proc/}"
        [[ "$keep" == *" $pid "* ]] && continue
        grep -qzxF -- "WINEPREFIX=$WINEPREFIX" "$dir/environ" 2>/dev/null || continue
        is_session_program "$pid" && echo "$pid"
    done
}

# Ends every process of this prefix (TERM, then KILL after 2 s) and waits until they are gone.
sweep_prefix() {
    local pids pid i
    pids="$(prefix_pids)"
    [ -n "$pids" ] || return 0
    { echo "$(date '+%F %T') ending" $pids; } >>"$LOG_DIR/sweep.log" 2>/dev/null || true
    # shellcheck disable=SC2086
    kill $pids 2>/dev/null || true
    for i in $(seq 40); do
        for pid in $pids; do
            pid_alive "$pid" && break
            pid=""
        done
        [ -z "$pid" ] && return 0
        sleep 0.05
    done
    # shellcheck disable=SC2086
    kill -9 $pids 2>/dev/null || true
    for pid in $pids; do wait_gone "$pid" || true; done
}

# ---- prefix --------------------------------------------------------------------------------

# Wine's own fonts (Debian's fonts-wine: Marlett for the caption buttons' glyphs, MS Sans Serif,
# Tahoma...) into the prefix's Fonts folder, which Wine always searches. Wine 8 on Debian does not
# look for them where the package puts them: without this, dialogs show a substitute font and
# the close button an "r".
install_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -d "$WINE_FONTS" ] || die "no $WINE_FONTS (run make deps: fonts-wine)"
    [ -f "$fonts/marlett.ttf" ] && return 0
    mkdir -p "$fonts"
    cp "$WINE_FONTS"/* "$fonts/"
}

cmd_prepare() {
    mkdir -p "$WINE_DIR" "$LOG_DIR"
    if [ -f "$READY_MARK" ]; then
        install_fonts  # a prefix made before the fonts were installed gets them too
        return 0
    fi
    sweep_prefix  # processes of a deleted prefix would write into the new one
    echo "wine-session: creating prefix $WINEPREFIX" >&2
    rm -rf "$WINEPREFIX"
    wine_cmd wineboot -i >"$LOG_DIR/prepare.log" 2>&1 || die "wineboot -i failed (see $LOG_DIR/prepare.log)"
    wineserver -w
    install_fonts
    # A virtual desktop: windows get captions and closing a window does not stall.
    wine_cmd reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >>"$LOG_DIR/prepare.log" 2>&1
    wine_cmd reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f \
        >>"$LOG_DIR/prepare.log" 2>&1
    wineserver -w
    touch "$READY_MARK"
}

# ---- driver --------------------------------------------------------------------------------

cmd_install_driver() {
    [ -f "$DRIVER_DIR/$DRIVER_FILE" ] || die "no $DRIVER_DIR/$DRIVER_FILE (build the win64 tree)"
    [ -f "$DRIVER_DIR/$SERVICE_TOOL" ] || die "no $DRIVER_DIR/$SERVICE_TOOL (build the win64 tree)"
    local drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
    local tools="$WINEPREFIX/drive_c/DuvoTools"
    mkdir -p "$tools"
    cp "$DRIVER_DIR/$SERVICE_TOOL" "$tools/"
    if cmp -s "$DRIVER_DIR/$DRIVER_FILE" "$drivers/$DRIVER_FILE" && [ -f "$DRIVER_MARK" ]; then
        return 0
    fi
    local running
    running="$(state_get wineserver)"
    if [ -n "$running" ] && pid_is_ours "$running"; then
        wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" stop >/dev/null 2>&1 || true
    fi
    cp "$DRIVER_DIR/$DRIVER_FILE" "$drivers/$DRIVER_FILE"
    wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" install "C:\\windows\\system32\\drivers\\$DRIVER_FILE" \
        || die "service install failed"
    touch "$DRIVER_MARK"
    if [ -n "$running" ] && pid_is_ours "$running"; then
        wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" start || die "driver did not start again"
    else
        wineserver -w
    fi
}

# ---- session -------------------------------------------------------------------------------

start_xvfb() {
    local fdfile="$WINE_DIR/xvfb.display" i
    rm -f "$fdfile"
    Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$fdfile" >"$LOG_DIR/xvfb.log" 2>&1 &
    local pid=$!
    echo "xvfb=$pid" >>"$STATE_FILE"
    for i in $(seq 200); do
        if [ -s "$fdfile" ]; then
            local n
            n="$(tr -dc '0-9' <"$fdfile")"
            if [ -n "$n" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
                echo "display=:$n" >>"$STATE_FILE"
                return 0
            fi
        fi
        pid_alive "$pid" || die "Xvfb did not start (see $LOG_DIR/xvfb.log)"
        sleep 0.05
    done
    die "Xvfb did not answer"
}

session_display() {
    local d
    d="$(state_get display)"
    [ -n "$d" ] && echo "$d" || echo "${DISPLAY:-}"
}

cmd_env() {
    echo "export WINEPREFIX='$WINEPREFIX' WINEDEBUG='$WINEDEBUG' WINEDLLOVERRIDES='$WINEDLLOVERRIDES'"
    echo "export DISPLAY='$(session_display)'"
}

cmd_start() {
    mkdir -p "$LOG_DIR"
    [ -f "$READY_MARK" ] || die "no prefix yet: run prepare first"
    cmd_stop  # a session left over by a killed run is ended first
    : >"$STATE_FILE"
    if [ -z "${DISPLAY:-}" ]; then
        start_xvfb
        export DISPLAY
        DISPLAY="$(state_get display)"
    fi
    wineserver -f -p >"$LOG_DIR/wineserver.log" 2>&1 &
    echo "wineserver=$!" >>"$STATE_FILE"
    # wineboot brings up services.exe, which starts the auto-start driver; the driver's DbgPrint
    # output lands in the log with it.
    WINEDEBUG="$WINEDEBUG,warn+debugstr" wine_cmd wineboot >>"$LOG_DIR/wineboot.log" 2>&1 \
        || die "wineboot failed"
    if ! wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" wait-device 20000 2>"$LOG_DIR/wait-device.log"; then
        cat "$LOG_DIR/wait-device.log" >&2
        wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" status >&2 || true
        tail -n 20 "$LOG_DIR/wineboot.log" >&2 || true
        die "device \\\\.\\duvo0 did not appear"
    fi
    # A driver the service manager left stopped is started by wait-device and noted here.
    cat "$LOG_DIR/wait-device.log" >>"$LOG_DIR/driver-restarts.log"
    cmd_env
}

cmd_stop() {
    local server xvfb
    server="$(state_get wineserver)"
    xvfb="$(state_get xvfb)"
    if [ -n "$server" ] && pid_is_ours "$server"; then
        wineserver -k 2>/dev/null || true
        wait_gone "$server" || kill_pid "$server"
    fi
    if [ -n "$xvfb" ] && pid_is_ours "$xvfb"; then
        kill_pid "$xvfb"
    fi
    sweep_prefix  # driver hosts and services that outlived their wineserver, or a killed session's
    rm -f "$STATE_FILE"
}

cmd_session() {
    [ "${1:-}" = "--" ] && shift
    [ $# -ge 1 ] || die "session: no command"
    trap 'cmd_stop' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
    cmd_prepare
    cmd_install_driver
    cmd_start >/dev/null
    export DISPLAY
    DISPLAY="$(session_display)"
    local rc=0
    # Commands of this script called from CMD find this session without -b and -d.
    DUVO_BUILD_DIR="$BUILD_DIR" DUVO_DRIVER_DIR="$DRIVER_DIR" "$@" || rc=$?
    return $rc
}

# ---- card ----------------------------------------------------------------------------------

reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }

# The Slots value now in the Parameters key ("" when there is none).
current_slots() {
    { wine_cmd reg query "$PARAMETERS_KEY" /v Slots 2>/dev/null || true; } | tr -d '\r' \
        | sed -n 's/^ *Slots *REG_DWORD *\(0x[0-9a-fA-F]*\).*/\1/p'
}

# The .reg line of one NAME=VALUE argument.
reg_value_line() {
    local arg="$1" name value type=""
    [[ "$arg" == *=* ]] || die "card-config: $arg is not NAME=VALUE"
    name="${arg%%=*}"
    value="${arg#*=}"
    case "$name" in
        *:sz) type=sz name="${name%:sz}" ;;
        *:dword) type=dword name="${name%:dword}" ;;
    esac
    if [ -z "$type" ]; then
        if [[ "$value" =~ ^[0-9]+$ || "$value" =~ ^0[xX][0-9a-fA-F]+$ ]]; then
            type=dword
        else
            type=sz
        fi
    fi
    if [ "$type" = dword ]; then
        printf '"%s"=dword:%08x\r\n' "$(reg_escape "$name")" "$((value))"
    else
        printf '"%s"="%s"\r\n' "$(reg_escape "$name")" "$(reg_escape "$value")"
    fi
}

# Replaces all values of one socket's key. Socket 0's key keeps its subkeys (the other sockets'
# keys) and its Slots value unless one is given: Slots belongs to the driver, not to the card.
cmd_card_config() {
    parse_socket "$@"
    shift "$SOCKET_SHIFT"
    local regfile="$WINE_DIR/card-config.reg" key arg slots=""
    key="$(socket_key "$SOCKET")"
    if [ "$SOCKET" -eq 0 ]; then
        printf '%s\n' "$@" | grep -qi '^Slots[:=]' || slots="$(current_slots)"
        wine_cmd reg delete "$key" /va /f >/dev/null 2>&1 || true
    fi
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        [ "$SOCKET" -eq 0 ] || printf '[-%s]\r\n\r\n' "$key"
        printf '[%s]\r\n' "$key"
        [ -z "$slots" ] || reg_value_line "Slots=$slots"
        for arg in "$@"; do
            reg_value_line "$arg"
        done
    } >"$regfile"
    wine_cmd reg import "$(winepath_of "$regfile")" >/dev/null 2>&1 || die "card-config: reg import failed"
}

# Slots is read when the driver starts: the value is written, then the driver restarted.
cmd_card_slots() {
    local slots="${1:-}"
    if [ -z "$slots" ]; then
        wine_cmd reg delete "$PARAMETERS_KEY" /v Slots /f >/dev/null 2>&1 || true
        slots=1
    else
        [[ "$slots" =~ ^[0-9]+$ ]] || die "card-slots: $slots is not a number"
        wine_cmd reg add "$PARAMETERS_KEY" /v Slots /t REG_DWORD /d "$slots" /f >/dev/null 2>&1 \
            || die "card-slots: reg add failed"
    fi
    cmd_driver stop >/dev/null
    cmd_driver start >/dev/null || die "card-slots: the driver did not start again"
    local last=$((slots >= 1 && slots <= 8 ? slots - 1 : 0))
    wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" wait-device 20000 "duvo$last" \
        || die "card-slots: \\\\.\\duvo$last did not appear"
}

winepath_of() { echo "Z:${1//\//\\}"; }

cmd_card_reset() {
    local dir
    dir="$(card_data_dir)"
    rm -f "$dir"/block*.bin "$dir"/trace.txt "$dir"/status.txt
    rm -f "$dir"/Socket*/block*.bin "$dir"/Socket*/trace.txt "$dir"/Socket*/status.txt
}

cmd_driver() { wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" "$1"; }

cmd_run() {
    [ $# -ge 1 ] || die "run: no program"
    wine_cmd "$@"
}

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
