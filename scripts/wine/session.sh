# A session: Xvfb when there is no display, a persistent wineserver, services and the driver;
# ended with everything in it on every path (sourced by wine-session.sh).

state_get() {
    [ -f "$STATE_FILE" ] || return 0
    sed -n "s/^$1=//p" "$STATE_FILE"
}

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
    [ -z "${WINELOADER:-}" ] || echo "export WINELOADER='$WINELOADER'"
    echo "export DISPLAY='$(session_display)'"
}

cmd_start() {
    mkdir -p "$LOG_DIR"
    prefix_is_ready || die "no prefix for $(prefix_made_by) yet: run prepare first"
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

cmd_run() {
    [ $# -ge 1 ] || die "run: no program"
    wine_cmd "$@"
}
