#!/usr/bin/env bash
# Packs one build's release zip, the same to the byte on every build of the same sources:
#
#   make_zip.sh ZIP SOURCE_DIR LOADER_EXE DUVOLOAD_EXE TITLE
#
# The zip holds, in this order and without folders: DuvoPcmciaLoader.exe, duvoload.exe,
# GUIDE.html (docs/guide.md rendered under TITLE) and SHA256SUMS (the SHA-256 of the other
# three, as `sha256sum -c` reads them). Every entry carries the date of the sources' commit
# (SOURCE_DATE_EPOCH when set), mode 644 and no extra fields: no owner, no build time.
set -euo pipefail

zip_path="$(realpath -m "$1")"
source_dir="$2"
loader="$3"
cli="$4"
title="$5"
here="$(cd "$(dirname "$0")" && pwd)"
files=(DuvoPcmciaLoader.exe duvoload.exe GUIDE.html SHA256SUMS)

stage="${zip_path%.zip}.stage"
rm -rf "$stage" "$zip_path"
mkdir -p "$stage"
cp "$loader" "$stage/DuvoPcmciaLoader.exe"
cp "$cli" "$stage/duvoload.exe"
bash "$here/render_guide.sh" "$source_dir/docs/guide.md" "$title" >"$stage/GUIDE.html"
(cd "$stage" && sha256sum "${files[@]:0:3}" >SHA256SUMS)

# Sources without their repository fall back to the earliest date a zip can hold.
epoch="${SOURCE_DATE_EPOCH:-}"
[ -n "$epoch" ] || epoch="$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || true)"
[ -n "$epoch" ] || epoch=315532800
chmod 644 "${files[@]/#/$stage/}"
touch -d "@$epoch" "${files[@]/#/$stage/}"
# A zip keeps local time: UTC makes the entries' dates independent of the machine's zone.
(cd "$stage" && TZ=UTC zip -q -X -9 "$zip_path.part" "${files[@]}")
mv "$zip_path.part" "$zip_path"
rm -rf "$stage"
