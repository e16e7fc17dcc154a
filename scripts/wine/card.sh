# The virtual card's sockets: their registry configuration and their data folders (sourced by
# wine-session.sh).

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

socket_number() {  # SOCKET COMMAND: dies unless SOCKET is 0 to 7
    [[ "${1:-}" =~ ^[0-7]$ ]] || die "$2 takes a socket number from 0 to 7"
}

# Empties the socket through the driver's socket control device: from now on \\.\duvoN fails
# to open with error 2. A handle opened before keeps reaching the card until it is closed.
cmd_card_remove() {  # SOCKET
    socket_number "${1:-}" card-remove
    wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" card-remove "$1" || die "card-remove: the driver refused"
}

# Puts a fresh card into the socket: its configuration (as card-config --socket N gives it; none:
# the default card) and no block files, then the card itself, whose blocks the driver blanks.
cmd_card_insert() {  # SOCKET [NAME=VALUE ...]
    socket_number "${1:-}" card-insert
    local socket="$1"
    shift
    cmd_card_config --socket "$socket" "$@"
    rm -f "$(card_data_dir "$socket")"/block*.bin
    wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" card-insert "$socket" || die "card-insert: the driver refused"
}
