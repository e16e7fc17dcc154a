#!/usr/bin/env bash
# duvoload under Wine: bad-arguments.
# Each refusal: exit 2, one stderr line naming the argument, nothing on stdout, the
# device never opened, no block file changed.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
make_image a.bin 1000
make_image b.bin 1000
make_image big.bin 917504
: >empty.bin
mkdir -p adir
before="$(opens)"
while IFS='|' read -r name args message; do
    # shellcheck disable=SC2086
    duvoload $args
    expect_rc 2 "$name"
    expect_stdout "$name"
    [ "$(wc -l <err.txt)" = 1 ] || fail "$name: not one stderr line: $(cat err.txt)"
    case "$(cat err.txt)" in
        "duvoload: $message"*) ;;
        *) fail "$name: stderr '$(cat err.txt)', expected 'duvoload: $message...'" ;;
    esac
done <<'TABLE'
unknown option|--force 3=a.bin|unknown option "--force" (see --help)
block 1|1=a.bin|argument "1=a.bin": block 1 is not between 2 and 14
block 15|15=a.bin|argument "15=a.bin": block 15 is not between 2 and 14
x=|x=|argument "x=": block "x" is not a number
block named twice|3=a.bin 4=b.bin 3=b.bin|argument "3=b.bin": block 3 is already named by argument "3=a.bin"
missing file|3=a.bin 4=none.bin|argument "4=none.bin": cannot open "none.bin": 
a folder|3=adir|argument "3=adir": "adir" is a folder
917504 bytes|3=big.bin|argument "3=big.bin": "big.bin" is too large: an image must be shorter than 917504 bytes
an empty file|3=a.bin 4=empty.bin|argument "4=empty.bin": "empty.bin" is empty
empty list|--quiet|no block to write: name BLOCK=FILE or --manifest FILE (see --help)
unwritable log|--log nodir\run.log 3=a.bin|option --log "nodir\run.log": cannot open the log for appending: 
TABLE
# The log's problem in the system's words, not only its number.
grep -Eq 'appending: [A-Za-z][^(]+ \(error 3\)$' err.txt || fail "log problem: $(cat err.txt)"
# Control characters given in an argument are shown escaped, never raw.
duvoload $'3=\e[2Jnone\rx.bin'
expect_rc 2 "control characters in an argument"
sed 's/\r$//' err.raw | grep -q $'[\e\r]' && fail "raw control characters on stderr: $(od -c err.raw | head -3)"
grep -qF 'argument "3=\x1B[2Jnone\x0Dx.bin": cannot open' err.txt \
    || fail "control characters in an argument: $(cat err.txt)"
[ "$(opens)" = "$before" ] || fail "the device was opened: opens $before, then $(opens)"
expect_blocks_unchanged "bad arguments"
[ -e nodir ] && fail "the log's folder was created"

finish
