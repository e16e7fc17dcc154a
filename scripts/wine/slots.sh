# The pool of prefixes of a build tree (sourced by wine-session.sh). Two sessions of one prefix
# would share its wineserver and its card, so each session holds one slot of the pool for its
# whole life, by an exclusive lock on the slot's lock file. Slot 0 is the tree's first prefix,
# BUILD_DIR/wine/prefix; slot N is BUILD_DIR/wine/slotN/prefix, prepared the same way on its first
# use. DUVO_WINE_SLOTS sets the size of the pool (default 2: `ctest -j2` runs two Wine tests at a
# time). A command run inside a held slot finds it in DUVO_WINE_SLOT.

slot_wine_dir() {  # SLOT
    if [ "$1" -eq 0 ]; then echo "$BUILD_DIR/wine"; else echo "$BUILD_DIR/wine/slot$1"; fi
}

# Runs CMD with the first free slot held (waiting while every slot is busy); exits with its
# status. The lock is held by this shell alone, never inherited by CMD, so a session killed with
# its runner frees its slot: the next session of that slot ends what the killed one left.
hold_free_slot() {  # CMD...
    local slots="${DUVO_WINE_SLOTS:-2}" slot fd rc
    [[ "$slots" =~ ^[1-9]$ ]] || die "DUVO_WINE_SLOTS must be a number from 1 to 9"
    mkdir -p "$BUILD_DIR/wine"
    while :; do
        for ((slot = 0; slot < slots; slot++)); do
            exec {fd}>"$BUILD_DIR/wine/slot$slot.lock"
            if flock -n "$fd"; then
                rc=0
                DUVO_WINE_SLOT="$slot" "$@" {fd}>&- || rc=$?
                exit $rc
            fi
            exec {fd}>&-
        done
        sleep 0.5
    done
}
