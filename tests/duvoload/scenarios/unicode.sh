#!/usr/bin/env bash
# duvoload under Wine: unicode.
# Names outside the ANSI code page: the file named is the file written, never a
# look-alike beside it (Omega.bin for Ωmega.bin); stdout and the log in UTF-8; on a
# console the name shows as typed.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
make_image Omega.bin 1000
make_image Ωmega.bin 500
make_image 数据.bin 300
duvoload --quiet --log run.log 5=Ωmega.bin 6=数据.bin
expect_rc 0 "names outside the code page"
strip_speed
expect_stdout "names outside the code page" "block 5: written 500 bytes" "block 6: written 300 bytes"
expect_block Ωmega.bin 5
expect_block 数据.bin 6
[ "$(cut -f3,4,5,6 run.log | tr -d '\r')" = "$(printf '5\t%s\t500\t%s\n6\t%s\t300\t%s' \
    "$(winpath Ωmega.bin)" "$(sha Ωmega.bin)" "$(winpath 数据.bin)" "$(sha 数据.bin)")" ] \
    || fail "log: $(cat run.log)"
duvoload --quiet 8=Ωmissing.bin
expect_rc 2 "a missing file outside the code page"
expect_stderr_line "a missing file" "duvoload: argument \"8=Ωmissing.bin\": cannot open \"Ωmissing.bin\": No such file or directory"
in_console --screen -- "$LOADER" 8=Ωmissing.bin
expect_rc 2 "on a console"
tr -d '\n' <out.txt | grep -qF 'duvoload: argument "8=Ωmissing.bin": cannot open "Ωmissing.bin"' \
    || fail "the console shows: $(cat out.txt)"
[ -e "$DATA/block08.bin" ] && fail "block 8 written"
# A folder named outside the code page is seen to be a folder, not a file that cannot be opened.
mkdir -p Ωdir
duvoload --quiet 8=Ωdir
expect_rc 2 "a folder outside the code page"
expect_stderr_line "a folder outside the code page" "duvoload: argument \"8=Ωdir\": \"Ωdir\" is a folder"

finish
