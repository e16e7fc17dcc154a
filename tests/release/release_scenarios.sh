#!/usr/bin/env bash
# The release zip as a user gets it, in a Wine session of its own: unpacked into a fresh folder
# inside the prefix, its checksums verified, its programs' imports read, and both programs run
# from there.
#
#   release_scenarios.sh zip
#
# Environment: DUVO_BUILD_DIR (the tree with the prefix), DUVO_DRIVER_DIR (the driver and its
# service tool), DUVO_SOURCE_DIR, DUVO_DIST_ZIP (this tree's zip), DUVO_RELEASE_CHECK_EXE,
# DUVO_OBJDUMP (the tree's objdump).
set -euo pipefail

source "$(dirname "$0")/../wine/scenario_lib.sh" release "$@"

CHECK="$DUVO_RELEASE_CHECK_EXE"
PROGRAMS=(DuvoPcmciaLoader.exe duvoload.exe)
# Every Windows has these; a program that needs any other DLL would not start on a bench PC.
SYSTEM_DLLS=" kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll comdlg32.dll \
shell32.dll ole32.dll oleaut32.dll version.dll msvcrt.dll "

release="$(tr -d '\r\n' <"$DUVO_SOURCE_DIR/VERSION")"
unpacked="${WINEPREFIX:?}/drive_c/DuvoRelease"
windows_dir='C:\DuvoRelease'

value() {  # FILE NAME: the value of NAME=VALUE in FILE
    sed -n "s/^$2=//p" "$1" | tr -d '\r'
}

check_contents() {
    [ "$(basename "$DUVO_DIST_ZIP")" = "DuvoPcmciaLoader-$release-$ARCH.zip" ] \
        || fail "the zip is named $(basename "$DUVO_DIST_ZIP")"
    local names
    names="$(unzip -Z1 "$DUVO_DIST_ZIP" | tr '\n' ' ')"
    [ "$names" = "DuvoPcmciaLoader.exe duvoload.exe GUIDE.html SHA256SUMS " ] \
        || fail "the zip holds: $names"
    rm -rf "$unpacked"
    mkdir -p "$unpacked"
    unzip -q "$DUVO_DIST_ZIP" -d "$unpacked"
    (cd "$unpacked" && sha256sum --strict -c SHA256SUMS) || fail "SHA256SUMS does not verify"
    [ "$(cut -d' ' -f3 "$unpacked/SHA256SUMS" | tr '\n' ' ')" = \
        "DuvoPcmciaLoader.exe duvoload.exe GUIDE.html " ] \
        || fail "SHA256SUMS does not cover the other three files: $(cat "$unpacked/SHA256SUMS")"
}

check_imports() {
    local exe dlls dll
    for exe in "${PROGRAMS[@]}"; do
        dlls="$("$DUVO_OBJDUMP" -p "$unpacked/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')"
        [ -n "$dlls" ] || fail "$exe: no imports read"
        echo "$exe imports: $(echo $dlls)"
        for dll in $dlls; do
            [[ "$SYSTEM_DLLS" == *" ${dll,,} "* ]] || fail "$exe imports $dll, not a system DLL"
        done
    done
}

# The guide stands alone: its picture inside it, every link to one of its sections resolved.
check_guide() {
    local guide="$unpacked/GUIDE.html" link
    grep -q '<img src="data:image/png;base64,' "$guide" || fail "GUIDE.html: no embedded picture"
    grep -q "<title>DuVoPcmciaLoader $release: user guide</title>" "$guide" \
        || fail "GUIDE.html: no title with the release"
    for link in $(grep -o 'href="#[^"]*"' "$guide" | sed 's/href="#\(.*\)"/\1/' | sort -u); do
        grep -q "id=\"$link\"" "$guide" || fail "GUIDE.html: no section for the link #$link"
    done
}

# Both programs' version resources, read back as Explorer reads them, against VERSION and each
# other; duvoload --version prints the same product version.
check_versions() {
    local exe info product version_line
    for exe in "${PROGRAMS[@]}"; do
        info="$WORK/${exe%.exe}.info"
        "$SESSION" run "$CHECK" version-info "$windows_dir\\$exe" >"$info" \
            || fail "$exe: version resource not read"
        sed 's/^/  | /' "$info"
        [ "$(value "$info" FixedFileVersion)" = "$release.0" ] || fail "$exe: file version"
        [ "$(value "$info" FixedProductVersion)" = "$release.0" ] || fail "$exe: product version"
        [ "$(value "$info" FileVersion)" = "$release" ] || fail "$exe: FileVersion string"
        [ "$(value "$info" ProductName)" = "DuVoPcmciaLoader" ] || fail "$exe: ProductName"
        [ "$(value "$info" OriginalFilename)" = "$exe" ] || fail "$exe: OriginalFilename"
        [ -n "$(value "$info" FileDescription)" ] || fail "$exe: no FileDescription"
        [ "$(value "$info" Manifests)" = 0 ] || fail "$exe: carries an application manifest"
    done
    product="$(value "$WORK/duvoload.info" ProductVersion)"
    [ "$product" = "$(value "$WORK/DuvoPcmciaLoader.info" ProductVersion)" ] \
        || fail "the two programs' product versions differ"
    [[ "$product" =~ ^"$release (commit "[0-9a-f]{12}(-modified)?")"$ ]] \
        || fail "product version '$product' is not '$release (commit HASH)'"
    local head
    head="$(git -C "$DUVO_SOURCE_DIR" rev-parse --short=12 HEAD 2>/dev/null || true)"
    [ -z "$head" ] || [[ "$product" == *"commit $head"* ]] \
        || fail "product version '$product' names another commit than HEAD ($head): rebuild"

    (cd "$unpacked" && "$SESSION" run "$windows_dir\\duvoload.exe" --version) >version.raw \
        || fail "duvoload --version: exit code $?"
    version_line="$(tr -d '\r' <version.raw)"
    echo "  | $version_line"
    [ "$version_line" = "duvoload $product" ] \
        || fail "duvoload --version says '$version_line', the version resource '$product'"
}

check_dialog() {
    (cd "$unpacked" && "$SESSION" run "$CHECK" dialog "$windows_dir\\DuvoPcmciaLoader.exe") \
        >dialog.txt || fail "the dialog check failed"
    sed 's/^/  | /' dialog.txt
    [ "$(value dialog.txt caption)" = "DuVoPcmciaLoader" ] || fail "the dialog's caption"
    [ "$(value dialog.txt exit)" = 0 ] || fail "the loader's exit code"
}

case "$scenario" in
    zip)
        ARCH="${DUVO_DIST_ARCH:?}"
        check_contents
        check_imports
        check_guide
        check_versions
        check_dialog
        ;;
    *)
        fail "no scenario $scenario"
        ;;
esac
rm -rf "$unpacked"
finish
