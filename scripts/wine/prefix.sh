# The prefix of a build tree, created once and reused (sourced by wine-session.sh).
#
# A prefix is made by one loader and stays tied to it: a prefix made by the 64-bit loader alone
# has no working 32-bit half, and one made before wine32 was installed breaks once it is. So the
# ready marker records the loader that made the prefix, and a prefix whose marker names another
# loader is made again.

readonly WINE_FONTS=/usr/share/wine/fonts

prefix_made_by() { echo "$TREE_ARCH $WINE_LOADER"; }

prefix_is_ready() {
    [ -f "$READY_MARK" ] && [ "$(cat "$READY_MARK")" = "$(prefix_made_by)" ]
}

# Wine's own fonts (Debian's fonts-wine: Marlett for the caption buttons' glyphs, MS Sans Serif,
# Tahoma...) into the prefix's Fonts folder, which Wine always searches. Wine 8 on Debian does not
# look for them where the package puts them: without this, dialogs show a substitute font and
# the close button an "r".
install_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -d "$WINE_FONTS" ] || die "no $WINE_FONTS (run make deps: fonts-wine)"
    [ -f "$fonts/marlett.ttf" ] && return 0
    mkdir -p "$fonts"
    cp "$WINE_FONTS"/* "$fonts/"
}

cmd_prepare() {
    mkdir -p "$WINE_DIR" "$LOG_DIR"
    if prefix_is_ready; then
        install_fonts  # a prefix made before the fonts were installed gets them too
        return 0
    fi
    sweep_prefix  # processes of a deleted prefix would write into the new one
    if [ -f "$READY_MARK" ]; then
        echo "wine-session: recreating prefix $WINEPREFIX: made by '$(cat "$READY_MARK")'," \
            "now '$(prefix_made_by)'" >&2
    else
        echo "wine-session: creating prefix $WINEPREFIX ($(prefix_made_by))" >&2
    fi
    rm -rf "$WINEPREFIX"
    wine_cmd wineboot -i >"$LOG_DIR/prepare.log" 2>&1 || die "wineboot -i failed (see $LOG_DIR/prepare.log)"
    wineserver -w
    install_fonts
    # A virtual desktop: windows get captions and closing a window does not stall.
    wine_cmd reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >>"$LOG_DIR/prepare.log" 2>&1
    wine_cmd reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f \
        >>"$LOG_DIR/prepare.log" 2>&1
    wineserver -w
    prefix_made_by >"$READY_MARK"
}
