# Sourced by the scripts that show the Windows build's windows: an Xvfb of their own and a
# Wine server started on it. Wine's desktop belongs to the display its server first met, so
# the server runs in a prefix of the caller's (WINEPREFIX) and ends with the display.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Starts Xvfb on a free display (Xvfb picks it) and exports DISPLAY. $1: a scratch folder.
display_start() {
    local folder="$1"
    rm -f "$folder/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$folder/display" \
        </dev/null >/dev/null 2>&1 &
    QX_XVFB_PID=$!
    local tries=0
    while [ ! -s "$folder/display" ]; do
        tries=$((tries + 1))
        [ "$tries" -lt 100 ] || { echo "Xvfb did not start" >&2; return 1; }
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$folder/display")"
}

# Prepares the prefix (once) and starts its server on DISPLAY. Without a window manager Wine
# draws the frames itself; Japanese texts need a font that has them.
wine_display_start() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1
    fi
    # Wine's own fonts (Tahoma for the dialogs, Marlett for the caption buttons), which this
    # Wine does not look for in its data folder.
    if [ -d /usr/share/wine/fonts ]; then
        cp -u /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1
    local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    for face in Tahoma "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
        wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f \
            </dev/null >/dev/null 2>&1
    done
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Stops the Wine server and the display started above.
display_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -n "${QX_XVFB_PID:-}" ]; then
        kill "$QX_XVFB_PID" 2>/dev/null || true
        wait "$QX_XVFB_PID" 2>/dev/null || true
        QX_XVFB_PID=
    fi
}
