# Sourced by scripts that show real windows: a private X server on a free display.
#   xvfb_start DIR   starts Xvfb, waits until it listens, exports DISPLAY (files in DIR)
#   xvfb_stop        stops it (by its process id)
# GTK is told that there is no accessibility bus on such a display.

xvfb_start() {
    local dir="$1"
    : >"$dir/xvfb-display"
    # -displayfd picks a free display and writes its number once the server is ready, so
    # parallel runs never collide.
    # -noreset: between two windows no client is connected, and a server that resets then
    # refuses the next one for a moment.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/xvfb-display" \
        >"$dir/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local tries=0
    until [ -s "$dir/xvfb-display" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start" >&2
            cat "$dir/xvfb.log" >&2
            return 1
        fi
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$dir/xvfb-display")"
    export NO_AT_BRIDGE=1
    unset WAYLAND_DISPLAY
}

xvfb_stop() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}
