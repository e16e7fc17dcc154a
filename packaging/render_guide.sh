#!/usr/bin/env bash
# Renders the user guide (Markdown, GitHub's dialect) as one self-contained HTML page: every PNG
# picture it names beside it is embedded, so the page needs nothing next to it in the package.
#
#   render_guide.sh GUIDE.md TITLE >GUIDE.html
set -euo pipefail

guide="$1"
title="$2"
dir="$(cd "$(dirname "$guide")" && pwd)"

cat <<HEAD
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>$title</title>
<style>
body { font-family: Segoe UI, Tahoma, sans-serif; max-width: 52em; margin: 1em auto;
       padding: 0 1em; line-height: 1.45; color: #111; }
code, pre { font-family: Consolas, Courier New, monospace; background: #f3f3f3; }
pre { padding: 0.5em; overflow-x: auto; }
table { border-collapse: collapse; margin: 0.5em 0; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
img { border: 1px solid #bbb; }
</style>
</head>
<body>
HEAD
# A picture named by a bare file name becomes a data URL of that file's bytes. Headings get the
# ids GitHub gives them, so that the guide's links to its own sections work in the page too.
cmark-gfm --extension table "$guide" | awk -v dir="$dir" '
    /^<h[1-6]>.*<\/h[1-6]>$/ {
        id = tolower(substr($0, 5, length($0) - 9))
        gsub(/<[^>]*>/, "", id)
        gsub(/[^a-z0-9 _-]/, "", id)
        gsub(/ /, "-", id)
        $0 = substr($0, 1, 3) " id=\"" id "\"" substr($0, 4)
    }
    {
        while (match($0, /src="[^"\/:]+\.png"/)) {
            file = dir "/" substr($0, RSTART + 5, RLENGTH - 6)
            command = "base64 -w0 \"" file "\""
            data = ""
            if ((command | getline data) <= 0 || data == "") {
                print "render_guide: cannot read " file > "/dev/stderr"
                exit 1
            }
            close(command)
            $0 = substr($0, 1, RSTART - 1) "src=\"data:image/png;base64," data "\"" \
                 substr($0, RSTART + RLENGTH)
        }
        print
    }'
printf '</body>\n</html>\n'
