#!/usr/bin/env bash
# duvoload under Wine: manifest.
# A manifest with comments, CRLF, a quoted path with a space, a relative path into a
# sub-folder and upper-case hashes; then one with a wrong hash, which writes nothing.
set -euo pipefail

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh" "$@"

seed_block_seven
mkdir -p "$WORK/set/sub"
make_image "set/sub/first image.bin" 5000
make_image set/second.bin 700
printf '# production set\r\n\r\n2 "sub\\first image.bin"  %s\r\n\t9 second.bin\t%s # no. 2\r\n' \
    "$(sha "set/sub/first image.bin" | tr a-f A-F)" "$(sha set/second.bin)" >set/good.txt
duvoload --quiet --log run.log --manifest "set\\good.txt"
expect_rc 0 "good manifest"
strip_speed
expect_stdout "good manifest" "block 2: written 5000 bytes" "block 9: written 700 bytes"
expect_block "set/sub/first image.bin" 2
expect_block set/second.bin 9
[ "$(cut -f3,4,6,7 run.log | tr -d '\r')" = "$(printf '2\t%s\t%s\twritten\n9\t%s\t%s\twritten' \
    "$(winpath 'set\sub\first image.bin')" "$(sha "set/sub/first image.bin")" \
    "$(winpath 'set\second.bin')" "$(sha set/second.bin)")" ] || fail "log: $(cat run.log)"
snapshot_blocks blocks.before
before="$(opens)"
printf '2 "sub\\first image.bin"\n4 second.bin %s\n' "$(sha "set/sub/first image.bin")" \
    >set/wrong.txt
duvoload --manifest "set\\wrong.txt"
expect_rc 2 "wrong hash"
expect_stdout "wrong hash"
expect_stderr_line "wrong hash" "duvoload: manifest \"set\\wrong.txt\" line 2: \"set\\second.bin\" has SHA-256 $(sha set/second.bin), the manifest expects $(sha "set/sub/first image.bin")"
[ "$(opens)" = "$before" ] || fail "wrong hash: the device was opened"
expect_blocks_unchanged "wrong hash"
# What Windows PowerShell 5 writes with `>`: UTF-16 after its byte order mark, CRLF; and
# the same manifest in UTF-8 without a mark. Both name bild-ä.bin in a sub-folder.
make_image "set/sub/bild-ä.bin" 900
printf '\xFF\xFE' >set/utf16.txt
printf '# Satz\r\n11 "sub\\bild-ä.bin" %s\r\n' "$(sha "set/sub/bild-ä.bin")" \
    | iconv -f UTF-8 -t UTF-16LE >>set/utf16.txt
duvoload --quiet --manifest "set\\utf16.txt"
expect_rc 0 "UTF-16 manifest"
expect_block "set/sub/bild-ä.bin" 11
printf '12 sub/bild-ä.bin\n' >set/utf8.txt
duvoload --quiet --log run.log --manifest "set\\utf8.txt"
expect_rc 0 "UTF-8 manifest"
expect_block "set/sub/bild-ä.bin" 12
[ "$(tail -n 1 run.log | cut -f3,4 | tr -d '\r')" = "$(printf '12\t%s' "$(winpath 'set\sub\bild-ä.bin')")" ] \
    || fail "UTF-8 manifest: log $(tail -n 1 run.log)"
# A NUL would cut the path short (to a.bin, which exists), an escape would reach the
# terminal: both refused, naming the line, before the device is opened.
make_image set/a.bin 100
snapshot_blocks blocks.before
before="$(opens)"
printf '2 a.bin\0junk\n' >set/zero.txt
duvoload --manifest "set\\zero.txt"
expect_rc 2 "NUL in a path"
expect_stderr_line "NUL in a path" "duvoload: manifest \"set\\zero.txt\" line 1: the line holds the control character \\x00"
printf '2 a.bin\n3 \033[2Ja.bin\n' >set/esc.txt
duvoload --manifest "set\\esc.txt"
expect_rc 2 "an escape in a path"
expect_stderr_line "an escape in a path" "duvoload: manifest \"set\\esc.txt\" line 2: the line holds the control character \\x1B"
printf '2 a\rb.bin\n' >set/cr.txt
duvoload --manifest "set\\cr.txt"
expect_rc 2 "a lone CR in a path"
expect_stderr_line "a lone CR in a path" "duvoload: manifest \"set\\cr.txt\" line 1: the line holds the control character \\x0D"
[ "$(opens)" = "$before" ] || fail "control characters: the device was opened"
expect_blocks_unchanged "control characters"

finish
