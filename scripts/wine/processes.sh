# The processes of a prefix's Wine sessions, found and ended by pid (sourced by wine-session.sh).
# A session killed by a test timeout leaves its wineserver, services and driver host running, with
# no trap to end them: every start and stop sweeps them, and only them.

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

# True when `pid` runs Wine (a Windows program, the loader, wineserver) or Xvfb. Read through any
# of its threads: a process whose first thread has ended shows nothing through that one.
is_session_program() {
    local dir exe arg0
    for dir in "/proc/$1" "/proc/$1"/task/*; do
        exe="$(readlink "$dir/exe" 2>/dev/null)" || continue
        case "${exe##*/}" in
            wine | wine64 | wine-preloader | wine64-preloader | wineserver* | Xvfb) return 0 ;;
        esac
        IFS= read -r -d '' arg0 <"$dir/cmdline" 2>/dev/null || true
        [[ "${arg0,,}" == *.exe ]]
        return
    done
    return 1
}

# Every process of this prefix's sessions, by pid: those whose environment names our prefix and
# that run Wine or Xvfb. A killed test leaves such processes behind (its wineserver, services.exe,
# winedevice.exe...), even after the prefix folder is gone. Other prefixes' sessions, which other
# build trees run at the same time, are never listed; neither are this script and its callers.
#
# The environments are read thread by thread, with one grep (a grep per process would cost half a
# second of CPU on each call, and every session start and stop makes one). A process can outlive
# its first thread: a driver host whose main thread has ended while its libusb thread polls on
# holds the test's output open, and only that thread still shows the environment.
prefix_pids() {
    local keep=" $$ $BASHPID " seen=" " p file pid
    p="$$"
    while p="$(parent_of "$p")" && [ "$p" -gt 1 ]; do keep+="$p "; done
    for file in $(grep -lzxF -- "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/task/[0-9]*/environ 2>/dev/null); do
        pid="${file#/proc/}"
        pid="${pid%%/*}"
        [[ "$keep$seen" == *" $pid "* ]] && continue
        seen+="$pid "
        is_session_program "$pid" && echo "$pid"
    done
    return 0
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
