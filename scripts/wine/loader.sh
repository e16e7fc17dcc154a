# Which Wine loader runs a build tree's programs (sourced by wine-session.sh).
#
# Wine's 32-bit loader is itself a 32-bit Linux process: on a kernel booted without 32-bit
# emulation it fails with "Exec format error", and so does Debian's `wine` script, which picks it
# whenever wine32 is installed. There only the 64-bit loader runs, in a 64-bit prefix, with the
# x86_64 build of our programs. So:
#   - the machine's architecture, decided once here: win32 when a 32-bit process starts (the
#     32-bit loader answers --version), win64 otherwise; DUVO_WINE_ARCH=win32|win64 forces it;
#   - a tree's loader follows the programs in it: the i686 tree runs under `wine` (32-bit programs,
#     and 64-bit ones through WoW64), the x86_64 tree under the 64-bit loader alone.

readonly WINE32_LOADER=/usr/lib/wine/wine
readonly WINE64_LOADER=/usr/lib/wine/wine64

# The probe: true when this kernel starts Wine's 32-bit loader.
runs_32bit_programs() { "$WINE32_LOADER" --version >/dev/null 2>&1; }

# win32 or win64: which build the Wine tests, `make run`, the benchmark and the soak use here.
machine_wine_arch() {
    case "${DUVO_WINE_ARCH:-}" in
        win32 | win64) echo "$DUVO_WINE_ARCH" ;;
        "") if runs_32bit_programs; then echo win32; else echo win64; fi ;;
        *) die "DUVO_WINE_ARCH must be win32 or win64, not '$DUVO_WINE_ARCH'" ;;
    esac
}

# The choice in words, for the one line printed where the Wine tests start.
machine_wine_arch_reason() {
    local arch
    arch="$(machine_wine_arch)"
    if [ -n "${DUVO_WINE_ARCH:-}" ]; then
        echo "DUVO_WINE_ARCH=$arch chooses the $(arch_build_name "$arch")"
    elif [ "$arch" = win32 ]; then
        echo "this kernel runs 32-bit programs, so they run the shipped i686 build"
    else
        echo "this kernel runs no 32-bit programs, so they run the x86_64 build of the same sources"
    fi
}

arch_build_name() {
    if [ "$1" = win32 ]; then echo "shipped i686 build"; else echo "x86_64 build of the same sources"; fi
}

# The architecture of the programs in BUILD_DIR (written by CMake into wine-arch.txt); a folder
# without one is taken to hold the machine's.
tree_wine_arch() {
    local file="$BUILD_DIR/wine-arch.txt" arch
    if [ -f "$file" ]; then
        read -r arch <"$file"
        case "$arch" in
            i686) echo win32 ;;
            x86_64) echo win64 ;;
            *) die "$file names no architecture Wine knows: '$arch'" ;;
        esac
    else
        machine_wine_arch
    fi
}

# Sets WINE_LOADER (the Linux program every Wine command of this tree starts with) and, for the
# 64-bit loader alone, WINELOADER, which Wine uses to start further Windows processes.
select_loader() {
    TREE_ARCH="$(tree_wine_arch)"
    LOADER_REFUSED=""
    unset WINELOADER
    if [ "$TREE_ARCH" = win32 ]; then
        runs_32bit_programs || LOADER_REFUSED="$BUILD_DIR holds 32-bit programs, and this kernel \
runs no 32-bit programs: use the x86_64 tree (make picks it by itself)"
        WINE_LOADER="$WINE32_LOADER"
    else
        WINE_LOADER="$WINE64_LOADER"
        export WINELOADER="$WINE64_LOADER"
    fi
}

# Commands that start no Wine program (stop, processes, data-dir) work on any tree.
wine_cmd() {
    [ -z "$LOADER_REFUSED" ] || die "$LOADER_REFUSED"
    "$WINE_LOADER" "$@"
}
