#!/usr/bin/env bash
# duvoload under Wine: failure-classes.
# Each class of failure stops the run at block 3: block 4 is not attempted, no block
# file changes. (A card pulled mid-image fails as four non-acknowledgements do, after draining a
# 65,535-byte packet of 0xFF per receive, request by request: that reaction is tested natively.)
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
make_image a.bin 1000
make_image b.bin 300
while IFS='|' read -r name config code result text; do
    if [ "$config" = "driver-stop" ]; then
        "$SESSION" driver-stop >/dev/null
    else
        # shellcheck disable=SC2086
        "$SESSION" card-config ProgrammingTimeMs=5 $config
    fi
    duvoload 3=a.bin 4=b.bin
    expect_rc "$code" "$name"
    # One code per stdout line: the text without the code it ends in.
    expect_stdout "$name" "block 3: failed [$result] ${text% \[*\]}" "block 4: not attempted"
    expect_stderr_line "$name" "$text"
    if [ "$result" = FFFFFFFF ]; then
        expect_stderr_line "$name" "$(no_driver_hint 0)"
    else
        grep -q hint err.txt && fail "$name: a hint: $(cat err.txt)"
    fi
    expect_blocks_unchanged "$name"
done <<'TABLE'
no ready reply|RequestReply=1|1|05419368|Duvo0 not respond [05419368]
four non-acknowledgements|AckReply=2 AckFaultChunk=3 AckFaultAttempts=4|1|87025353|Duvo0 not respond [87025353]
acknowledgements "RxO?"|AckReply=6 AckFaultChunk=3 AckFaultAttempts=4|1|87025353|Duvo0 not respond [87025353]
flash never done|Flash=1|1|87025353|Duvo0 not respond [87025353]
driver busy|FailRequestIndex=0 FailError=170|1|000000AA|Duvo0 failed [000000AA]
driver cancelled|FailRequestIndex=1 FailError=1223|1|000004C7|Duvo0 failed to intialize [000004C7]
no card|driver-stop|3|FFFFFFFF|Duvo0 open failed [00000002]
TABLE

finish
