#!/usr/bin/env bash
# Two builds of the same sources in two different folders must give the same release zip, byte
# for byte: no build path, build time or owner may reach it. One is this tree's own zip; the other
# is built from a fresh clone of the repository's HEAD with the working tree's changes since HEAD
# (staged or not) laid over it, in a folder of another name and depth, configured for the same
# target and built only as far as the zip needs (the programs, not the tests).
#
#   reproducible_build.sh SOURCE_DIR TOOLCHAIN_FILE WORK_DIR TREE_ZIP
set -euo pipefail

source_dir="$(cd "$1" && pwd)"
toolchain="$2"
work="$3"
tree_zip="$4"
jobs="${DUVO_JOBS:-2}"

# A folder whose name and depth differ from the tree's, so that a path inside a program would
# show.
folder="$work/second build/sources of the release"
rm -rf "$work"

clone_sources() {  # FOLDER
    git clone -q --no-hardlinks "$source_dir" "$1"
    (cd "$source_dir" && { git diff -z --name-only --diff-filter=d HEAD
        git ls-files -z -o --exclude-standard; }) \
        | (cd "$source_dir" && tar -c --null -T - -f -) | tar -x -C "$1" -f -
    (cd "$source_dir" && git diff -z --name-only --diff-filter=D HEAD) | (cd "$1" && xargs -0 -r rm -f)
}

clone_sources "$folder"
cmake -S "$folder" -B "$folder/build" -G "Unix Makefiles" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$folder/$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$folder/build" --target dist_zip -j"$jobs" >"$folder.build.log" 2>&1 \
    || { tail -30 "$folder.build.log" >&2; exit 1; }
zips=("$tree_zip" "$(ls "$folder"/build/dist/*.zip)")

for zip in "${zips[@]}"; do
    echo "$(sha256sum "$zip" | cut -d' ' -f1)  $(stat -c %s "$zip") bytes  $zip"
done
if ! cmp "${zips[0]}" "${zips[1]}"; then
    echo "FAIL: the two builds' zips differ (was this tree built after its last change?)" >&2
    for zip in "${zips[@]}"; do unzip -lv "$zip" >&2; done
    exit 1
fi
echo "reproducible: the two zips are the same"
rm -rf "$work"
