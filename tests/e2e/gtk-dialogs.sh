#!/usr/bin/env bash
# The Linux launcher's GTK windows on a private X server, driven from outside with xdotool as
# a user would: the test host shows one window and prints what the answers left in the model.
#   login typed and accepted, after a refusal box that leaves the dialog open; Escape cancels;
#   a change of password typed differently empties both fields; the version list's third
#   entry is chosen; a failed release note download leaves the warning's No working; the
#   splash shows a half-full bar at 500 of 1000, hides and shows again, and takes its picture
#   from qxlauncher.bmp in the current directory when there is one; closing it ends the
#   normal phase of the loop, which still serves a box and then ends with the worker's exit
#   code. The launcher itself: without servers its run closes the loop with exit code 1; its
#   login dialog cancelled ends the run with 0; without a display it exits with 1 and says
#   why, and so does an unattended run whose response file cannot be played.
# Usage: gtk-dialogs.sh PATH-TO-qx_gtk_ui_host PATH-TO-QXLauncher
set -euo pipefail
host="$(realpath "$1")"
launcher="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
. "$here/../support/posix/xvfb.sh"
host_pid=
cleanup() {
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT
xvfb_start "$work"
cd "$work"

fail() {
    echo "FAILED: $*" >&2
    [ -f "$work/out" ] && { echo "--- host output" >&2; cat "$work/out" >&2; }
    exit 1
}

# The shown windows captioned "Launcher" (dialogs and boxes), waiting until there are count.
launcher_windows() { # count
    local ids
    # Generous: the machine may be busy, and the programs run under the sanitizers.
    for _ in $(seq 300); do
        ids="$(xdotool search --onlyvisible --name '^Launcher$' 2>/dev/null || true)"
        if [ "$(printf '%s' "$ids" | grep -c .)" -eq "$1" ]; then
            printf '%s\n' "$ids"
            return
        fi
        sleep 0.1
    done
    fail "expected $1 windows captioned Launcher, saw: $(printf '%s' "$ids" | tr '\n' ' ')"
}

# Starts the host on a scenario; its output goes to $work/out.
start_host() {
    "$host" "$@" >"$work/out" 2>&1 &
    host_pid=$!
}

# Waits for the host to end; fails unless it printed every expected line and exited with 0.
expect_host() { # lines...
    local status=0
    for _ in $(seq 300); do
        kill -0 "$host_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$host_pid" 2>/dev/null && fail "the host did not end: a window is still open"
    wait "$host_pid" || status=$?
    host_pid=
    [ "$status" -eq 0 ] || fail "host exited with $status"
    for line in "$@"; do
        grep -qxF -- "$line" "$work/out" || fail "host did not print: $line"
    done
}

# Presses keys in a window after giving it the focus.
keys() { # window keys...
    local window="$1"
    shift
    xdotool windowfocus --sync "$window" key --delay 30 "$@"
}
typed() { # window text
    xdotool windowfocus --sync "$1" type --delay 30 "$2"
}

echo "login: a refusal box keeps the dialog open, then the login is accepted"
start_host login 0
dialog="$(launcher_windows 1)"
typed "$dialog" "jean"
keys "$dialog" Return
box="$(launcher_windows 2 | grep -vx "$dialog")"
[ -n "$(xprop -id "$box" WM_TRANSIENT_FOR | grep -o 'window id')" ] ||
    fail "the refusal box does not belong to the dialog"
keys "$box" Return
launcher_windows 1 >/dev/null
keys "$dialog" Tab
typed "$dialog" "p&ss w"
keys "$dialog" Return
expect_host "result=1" "login=jean password=p&ss w"

echo "login: Escape cancels and stores nothing"
start_host login 0
dialog="$(launcher_windows 1)"
typed "$dialog" "jean"
keys "$dialog" Escape
expect_host "result=2" "login= password="

echo "change password: two different entries empty both fields"
start_host changepwd 0 54
dialog="$(launcher_windows 1)"
typed "$dialog" "abc"
keys "$dialog" Tab
typed "$dialog" "abd"
keys "$dialog" Return
box="$(launcher_windows 2 | grep -vx "$dialog")"
keys "$box" Return
launcher_windows 1 >/dev/null
# End keeps what a field holds: were the fields not emptied, the two entries would differ.
keys "$dialog" shift+Tab End
typed "$dialog" "same"
keys "$dialog" Tab End
typed "$dialog" "same"
keys "$dialog" Return
expect_host "result=1" "password=same"

echo "version: the third entry chosen with the keyboard"
start_host version 0 11.1.3 11.0.9 10.4.2
dialog="$(launcher_windows 1)"
keys "$dialog" Down Down Tab Return
expect_host "result=1 selection=10.4.2"

echo "warning: the focus starts on No; a failed release note download leaves No working"
start_host note 0
dialog="$(launcher_windows 1)"
# Tab goes from No to the release note button; its download fails at once (no server), and
# the dialog waits for the download before it goes.
keys "$dialog" Tab space
keys "$dialog" shift+Tab Return
expect_host "result=7 note=4"

echo "splash: half-full bar at 500 of 1000, hidden and shown again"
coproc SPLASH { "$host" splash 0 2>&1; }
host_pid=$SPLASH_PID
send() { # line [expected reply]
    printf '%s\n' "$1" >&"${SPLASH[1]}"
    local reply
    read -r -t 20 reply <&"${SPLASH[0]}" || fail "no reply to $1"
    [ -z "${2:-}" ] || [ "$reply" = "$2" ] || fail "reply to $1: $reply, expected $2"
}
splash_shown() { xdotool search --onlyvisible --name '^QXLauncher$' 2>/dev/null || true; }
send "show"
send "range 0 1000"
send "position 500"
send "read" "fraction=500/1000 status=Processing files ... closed=0"
splash="$(xdotool search --sync --onlyvisible --name '^QXLauncher$' | head -n1)"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$splash")"
import -window root "$work/screen.png"
# The bar's middle row: blue up to the middle of the bar, the trough's grey after it.
row=$((Y + 412))
pixel() { convert "$work/screen.png" -format "%[fx:int(255*p{$1,$row}.b)-int(255*p{$1,$row}.r)]" info:; }
[ "$(pixel $((X + 126)))" -gt 60 ] || fail "the bar is not filled at a quarter"
[ "$(pixel $((X + 380)))" -lt 30 ] || fail "the bar is filled at three quarters"
send "hide"
[ -z "$(splash_shown)" ] || fail "the splash is still shown after hide"
send "show"
[ -n "$(splash_shown)" ] || fail "the splash is not shown again"

echo "splash: close ends the loop's normal phase; a box after it is still served"
send "close"
[ -z "$(splash_shown)" ] || fail "the splash is still shown after close"
send "read" "fraction=500/1000 status=Processing files ... closed=1"
printf 'box\n' >&"${SPLASH[1]}"
box="$(launcher_windows 1)"
keys "$box" Tab Return
read -r -t 20 reply <&"${SPLASH[0]}" || fail "no answer from the box"
[ "$reply" = "answer=7" ] || fail "box answered $reply, expected 7 (No)"
printf 'exit 7\n' >&"${SPLASH[1]}"
status=0
wait "$host_pid" || status=$?
host_pid=
[ "$status" -eq 7 ] || fail "the host ended with $status, expected the worker's 7"

install="$work/install"
mkdir -p "$install"
cp "$launcher" "$install/"
printf '[LOG]\r\nactivateLog=1\r\n' >"$install/QXLauncher.ini"

echo "splash: a qxlauncher.bmp in the current directory replaces the picture, not stretched"
mkdir -p "$work/own-picture"
convert -size 100x50 xc:'#ff0000' "BMP3:$work/own-picture/qxlauncher.bmp"
# The commands' writer holds no output of this script, so that it cannot keep CTest waiting.
(cd "$work/own-picture" &&
    exec "$host" splash 0 < <(printf 'show\n'; exec sleep 30 2>/dev/null) >"$work/out" 2>&1) &
host_pid=$!
splash="$(xdotool search --sync --onlyvisible --name '^QXLauncher$' | head -n1)"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$splash")"
import -window root "$work/screen.png"
red() { convert "$work/screen.png" -format "%[fx:int(255*p{$1,$2}.r)-int(255*p{$1,$2}.b)]" info:; }
[ "$(red $((X + 60)) $((Y + 30)))" -gt 200 ] || fail "the picture from the file is not shown"
[ "$(red $((X + 200)) $((Y + 150)))" -lt 100 ] || fail "the picture from the file is stretched"
kill "$host_pid"
wait "$host_pid" 2>/dev/null || true
host_pid=

echo "launcher: with windows and no server configured, closing ends the loop with exit code 1"
status=0
(cd "$install" && timeout 60 ./QXLauncher </dev/null >"$work/out" 2>&1) || status=$?
[ "$status" -eq 1 ] || fail "the launcher without servers exited with $status"

echo "launcher: its own login dialog, cancelled with Escape, ends the run"
printf '[Config]\r\nURL=http://127.0.0.1:9/qx/\r\n' >"$install/qxurl.net"
(cd "$install" && exec ./QXLauncher </dev/null >"$work/out" 2>&1) &
host_pid=$!
dialog="$(launcher_windows 1)"
keys "$dialog" Escape
expect_host
rm "$install/qxurl.net"

echo "launcher: no display, no windows, a clear error"
status=0
(cd "$install" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 ./QXLauncher \
    </dev/null >"$work/out" 2>&1) || status=$?
[ "$status" -eq 1 ] || fail "the launcher without a display exited with $status"
grep -q "no display" "$work/out" || fail "the launcher did not say that there is no display"
grep -q '^\*\* .*EXIT : no display' "$install"/LOG/*.log || fail "no error line in the log"

echo "launcher: a response file that cannot be played stops the unattended run"
status=0
(cd "$install" && env -u DISPLAY -u WAYLAND_DISPLAY QXLAUNCHER_UI=scripted \
    QXLAUNCHER_UI_SCRIPT="$work/missing.txt" timeout 30 ./QXLauncher \
    </dev/null >"$work/out" 2>&1) || status=$?
[ "$status" -eq 1 ] || fail "the launcher with a missing response file exited with $status"
grep -q "cannot play the response file" "$work/out" || fail "the launcher did not name the file"
! grep -q "no display" "$work/out" || fail "the scripted run asked for a display"

echo "all passed"
