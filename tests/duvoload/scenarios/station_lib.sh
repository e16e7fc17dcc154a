# Shared by the station scenarios (sourced after lib.sh): cards taken out and fresh ones put in
# while a station runs, and the log's and the JSON's fields side by side.

TAG="WO-7 Ωmega"

# The log's fields from the block on: block, path, bytes, SHA-256, result, card, tag; with SOCKET,
# that socket's lines only.
log_fields() {  # LOG [SOCKET]
    tr -d '\r' <"$1" | awk -F '\t' -v socket="${2:-}" 'socket == "" || $2 == socket' | cut -f3-7,9,10
}

# Waits for COUNT lines of FILE holding TEXT, for as long as the background station ($bg) runs: on
# a loaded machine the line may be minutes away.
wait_for_count() {  # FILE TEXT COUNT
    while [ "$(tr -d '\r' <"$1" | grep -cF -- "$2")" -lt "$3" ]; do
        kill -0 "$bg" 2>/dev/null && { sleep 0.1; continue; }
        [ "$(tr -d '\r' <"$1" | grep -cF -- "$2")" -ge "$3" ] && return 0
        fail "fewer than $3 lines with '$2' in $1: $(tr -d '\r' <"$1" | tail -3)"
        return 1
    done
}

# The card in SOCKET taken out (its device gone), and a fresh one put in, with CONFIG.
take_out_card() { "$SESSION" card-remove "$1"; }
insert_fresh_card() {  # SOCKET CONFIG...
    "$SESSION" card-insert "$1" ProgrammingTimeMs=5 "${@:2}"
}

keep_blocks() {  # NAME SOCKET: a copy of the socket's block files
    mkdir -p "$WORK/$1"
    cp "$(socket_data "$2")"/block*.bin "$WORK/$1/" 2>/dev/null || true
}

# Every line of FILE is one JSON object with "schema": 1; prints the objects' kinds in order.
json_objects() {  # FILE
    local line
    while IFS= read -r line; do
        jq -e '.schema == 1' <<<"$line" >/dev/null || fail "not JSON with schema 1: $line"
    done <"$1"
    jq -r '.object' <"$1" | tr '\n' ' '
}

# The JSON block objects' fields as the log gives them: block, path, bytes, SHA-256, result,
# card, tag.
json_as_log() {  # FILE
    jq -r 'select(.object == "block") | [.block, .file, .bytes, .sha256,
        (if .result == "written" then "written" elif .result == "not-attempted" then "not attempted"
         else "failed " + .code end), (.card // ""), (.tag // "")] | map(tostring) | join("\t")' <"$1"
}
