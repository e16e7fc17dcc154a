# The virtual card's driver as an auto-start kernel driver service of the prefix (sourced by
# wine-session.sh). The driver is x86_64 in both trees; its service tool is the x86_64 program that
# installs, starts, stops and waits for it.

cmd_install_driver() {
    [ -f "$DRIVER_DIR/$DRIVER_FILE" ] || die "no $DRIVER_DIR/$DRIVER_FILE (build the win64 tree)"
    [ -f "$DRIVER_DIR/$SERVICE_TOOL" ] || die "no $DRIVER_DIR/$SERVICE_TOOL (build the win64 tree)"
    local drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
    local tools="$WINEPREFIX/drive_c/DuvoTools"
    mkdir -p "$tools"
    cp "$DRIVER_DIR/$SERVICE_TOOL" "$tools/"
    if cmp -s "$DRIVER_DIR/$DRIVER_FILE" "$drivers/$DRIVER_FILE" && [ -f "$DRIVER_MARK" ]; then
        return 0
    fi
    local running
    running="$(state_get wineserver)"
    if [ -n "$running" ] && pid_is_ours "$running"; then
        wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" stop >/dev/null 2>&1 || true
    fi
    cp "$DRIVER_DIR/$DRIVER_FILE" "$drivers/$DRIVER_FILE"
    wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" install "C:\\windows\\system32\\drivers\\$DRIVER_FILE" \
        || die "service install failed"
    touch "$DRIVER_MARK"
    if [ -n "$running" ] && pid_is_ours "$running"; then
        wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" start || die "driver did not start again"
    else
        wineserver -w
    fi
}

cmd_driver() { wine_cmd "C:\\DuvoTools\\$SERVICE_TOOL" "$1"; }
