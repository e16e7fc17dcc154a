#!/usr/bin/env bash
# Two builds of the same sources in two different folders must give the same release zip, byte
# for byte: no build path, build time or owner may reach it. Each build is a fresh clone of the
# repository's HEAD with the working tree's changes since HEAD (staged or not) laid over it,
# configured for one target and built only as far as the zip needs (the programs, not the tests).
#
#   reproducible_build.sh SOURCE_DIR TOOLCHAIN_FILE WORK_DIR
set -euo pipefail

source_dir="$(cd "$1" && pwd)"
toolchain="$2"
work="$3"
jobs="${DUVO_JOBS:-2}"

# Two folders of different names and depths, so that a path inside a program would show.
folders=("$work/a/src" "$work/second build/sources of the release")
rm -rf "$work"

clone_sources() {  # FOLDER
    git clone -q --no-hardlinks "$source_dir" "$1"
    (cd "$source_dir" && { git diff -z --name-only --diff-filter=d HEAD
        git ls-files -z -o --exclude-standard; }) \
        | (cd "$source_dir" && tar -c --null -T - -f -) | tar -x -C "$1" -f -
    (cd "$source_dir" && git diff -z --name-only --diff-filter=D HEAD) | (cd "$1" && xargs -0 -r rm -f)
}

zips=()
for folder in "${folders[@]}"; do
    clone_sources "$folder"
    cmake -S "$folder" -B "$folder/build" -G "Unix Makefiles" -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$folder/$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$folder/build" --target dist_zip -j"$jobs" >"$folder.build.log" 2>&1 \
        || { tail -30 "$folder.build.log" >&2; exit 1; }
    zips+=("$(ls "$folder"/build/dist/*.zip)")
done

for zip in "${zips[@]}"; do
    echo "$(sha256sum "$zip" | cut -d' ' -f1)  $(stat -c %s "$zip") bytes  ${zip#"$work"/}"
done
if ! cmp "${zips[0]}" "${zips[1]}"; then
    echo "FAIL: the two builds' zips differ" >&2
    for zip in "${zips[@]}"; do unzip -lv "$zip" >&2; done
    exit 1
fi
echo "reproducible: the two zips are the same"
rm -rf "$work"
