#!/usr/bin/env bash
# The launcher's real Windows windows under Wine, on an Xvfb of this test's own, driven from
# outside as a user would: logins typed, accepted and refused, Cancel, a password change whose
# entries differ, the version choice, the update warning's buttons, a message box, and the
# splash's bar, visibility and close message; and the launcher itself ending with its code.
# Usage: win32-dialogs.sh HOST.exe DRIVER.exe QXLauncher.exe   (WINEPREFIX set by the caller)
set -euo pipefail
host="$1"
driver="$2"
launcher="$3"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
host_pid=
cleanup() {
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
    exec 7>&- 2>/dev/null || true
    display_stop
    rm -rf "$work"
}
. "$here/../support/win32/wine-display.sh"
trap cleanup EXIT
display_start "$work"
wine_display_start

fail() {
    echo "FAILED: $*" >&2
    echo "--- host output" >&2
    cat "$work/host.out" >&2 2>/dev/null || true
    exit 1
}

# The driver's output without Wine's carriage returns. Fails the test when the driver does.
drive() {
    local out
    out="$(wine "$driver" "$@" </dev/null 2>/dev/null | tr -d '\r')" ||
        fail "driver: $* -> $out"
    printf '%s\n' "$out"
}

# Expects the driver's output for the command to hold the line, asking again for a while:
# the windows change on their own thread.
expect() { # line command...
    local line="$1" out tries=0
    shift
    until out="$(drive "$@")" && grep -qxF -- "$line" <<<"$out"; do
        tries=$((tries + 1))
        [ "$tries" -lt 40 ] || fail "'$*' gave '$out', expected '$line'"
        sleep 0.1
    done
}

# Starts the host with a scenario, its input from fd 7 when given.
start_host() {
    : >"$work/host.out"
    (cd "${QX_HOST_DIR:-$work}" &&
        exec wine "$host" "$@" <"${QX_HOST_INPUT:-/dev/null}" >"$work/host.out" 2>"$work/host.err") &
    host_pid=$!
}

# Waits for the host to end and expects each given line in its output.
finish_host() {
    local status=0
    wait_for_exit "$host_pid" || status=$?
    host_pid=
    [ "$status" = 0 ] || fail "host ended with $status"
    tr -d '\r' <"$work/host.out" >"$work/host.txt"
    for line in "$@" exit=0; do
        grep -qxF -- "$line" "$work/host.txt" || fail "host output lacks '$line'"
    done
}

wait_for_exit() {
    local pid="$1" tries=0
    while kill -0 "$pid" 2>/dev/null; do
        tries=$((tries + 1))
        [ "$tries" -lt 300 ] || { kill "$pid"; return 124; }
        sleep 0.1
    done
    wait "$pid"
}

# Waits until the host has printed the line (count times).
wait_output() { # line [count]
    local tries=0
    until [ "$(tr -d '\r' <"$work/host.out" | grep -cxF -- "$1")" -ge "${2:-1}" ]; do
        tries=$((tries + 1))
        [ "$tries" -lt 200 ] || fail "host never printed '$1'"
        sleep 0.05
    done
}

login=105 password=112 new=106 verify=113 heading=1006 version=1006:ComboBox warn=1010 box=65535
splash=1004:msctls_progress32

echo "== login typed on the keyboard: Tab to the password, Enter for OK"
start_host login 0
expect "caption=Launcher" wait $login
xdotool type --delay 20 "jean"
xdotool key Tab
xdotool type --delay 20 "p&ss w=rd"
xdotool key Return
finish_host result=1 login=jean "password=p&ss w=rd"

echo "== a refusal keeps the dialog open; then Cancel"
start_host login 0
drive type $login $login "jean" >/dev/null
drive click $login 1 >/dev/null
out="$(drive box 1)"
grep -qxF "caption=Launcher" <<<"$out" || fail "refusal box caption: $out"
grep -qxF "text=Please enter your password." <<<"$out" || fail "refusal box text: $out"
drive gone $box >/dev/null
expect "text=jean" text $login $login
drive click $login 2 >/dev/null
finish_host result=2 login=jean password=

echo "== French change of password: different entries empty both fields"
start_host change-password 10000
expect "text=Votre mot de passe a expiré, veuillez en entrer un nouveau ci-dessous :" \
    text $new $heading
drive type $new $new "Secret1" >/dev/null
drive type $new $verify "secret1" >/dev/null
drive click $new 1 >/dev/null
expect "text=Veuiller saisir deux fois le même mot de passe." box 1
drive gone $box >/dev/null
expect "text=" text $new $new
expect "text=" text $new $verify
drive type $new $new "Secret1" >/dev/null
drive type $new $verify "Secret1" >/dev/null
drive click $new 1 >/dev/null
finish_host result=1 password=Secret1

echo "== voluntary change: heading 54"
start_host change-password 0 54
expect "text=Please enter a new password below:" text $new $heading
drive click $new 2 >/dev/null
finish_host result=2 password=

echo "== new PIN with a letter, then next passcode too short (Japanese labels)"
start_host new-pin 0
drive type 107 107 "12a4" >/dev/null
drive type 107 115 "12a4" >/dev/null
drive click 107 1 >/dev/null
expect "text=Pin must only have numeric characters." box 1
drive gone $box >/dev/null
expect "text=" text 107 115
drive click 107 2 >/dev/null
finish_host result=2 pin=
start_host next-passcode 20000
expect "caption=ﾗﾝﾁｬｰ" wait 114
expect "text=取消" text 114 2
drive type 114 114 "12345" >/dev/null
drive click 114 1 >/dev/null
expect "text=Passcode must be at least 6 characters wide." box 1
drive gone $box >/dev/null
drive type 114 114 "1234567890" >/dev/null
drive click 114 1 >/dev/null
finish_host result=1 passcode=1234567890

echo "== version choice: the third, then Default"
start_host version 0
out="$(drive items $version 1006)"
grep -qxF "count=3" <<<"$out" && grep -qxF "selected=0" <<<"$out" || fail "version list: $out"
drive select $version 1006 2 >/dev/null
drive click $version 1 >/dev/null
finish_host result=1 selection=11.1.3
start_host version 0
drive click $version 1008 >/dev/null
finish_host result=2 selection=

echo "== update warning: notice and question"
start_host notice 0
expect "focused=1" state $warn 1
expect "visible=0" state $warn 6
expect "visible=0" state $warn 7
expect "enabled=0" state $warn 3
drive click $warn 1 >/dev/null
finish_host result=1
start_host question 10000
expect "focused=1" state $warn 7
expect "visible=1" state $warn 6
expect "visible=0" state $warn 1
expect "text=Non" text $warn 7
drive click $warn 6 >/dev/null
finish_host result=6

echo "== release note whose download fails; Yes still works"
start_host question 0 note
expect "enabled=1" state $warn 3
drive click $warn 3 >/dev/null
expect "text=Download failed" text $warn 3
expect "enabled=0" state $warn 3
expect "visible=0" state $warn 1011
drive click $warn 6 >/dev/null
finish_host result=6 note=4

echo "== message box owned by the progress window"
start_host box 0
out="$(drive box 7)"
grep -qxF "text=Your password will expire in 3 day(s). Do you want to change it now?" <<<"$out" ||
    fail "box: $out"
finish_host answer=7

echo "== splash: bar at 500 of 1000, hidden, shown, closed"
mkfifo "$work/input"
exec 7<>"$work/input"
QX_HOST_INPUT="$work/input" start_host splash 0
wait_output shown
out="$(drive splash)"
for line in visible=1 minimum=0 maximum=1000 position=500 "status=Checking files for updates."; do
    grep -qxF -- "$line" <<<"$out" || fail "splash: $out (expected $line)"
done
expect "visible=1" state $splash 1005 # no qxlauncher.bmp here: the built-in picture
echo hide >&7
wait_output hidden
expect "visible=0" splash
echo show >&7
wait_output shown 2
expect "visible=1" splash
drive close-splash >/dev/null
expect "visible=0" splash
echo end >&7
finish_host

echo "== splash: qxlauncher.bmp of the current directory replaces the built-in picture"
mkdir "$work/picture"
convert -size 200x100 xc:'#ff0000' BMP3:"$work/picture/qxlauncher.bmp"
QX_HOST_DIR="$work/picture" QX_HOST_INPUT="$work/input" start_host splash 0
wait_output shown
expect "visible=0" state $splash 1005
area="$(drive rect $splash)" # WxH+X+Y of the window, its 1-pixel border included
IFS='x+' read -r _ _ left top <<<"$area"
pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | tail -n 1; }
pixel $((left + 20)) $((top + 20)) | grep -qi '#FF0000' || fail "no picture from the file"
! pixel $((left + 300)) $((top + 200)) | grep -qi '#FF0000' || fail "the picture was stretched"
echo end >&7
finish_host

echo "== the launcher ends its message loop with its exit code"
install="$work/install"
mkdir -p "$install"
cp "$launcher" "$install/"
status=0
(cd "$install" && timeout 60 wine "./$(basename "$launcher")" </dev/null >/dev/null 2>&1) ||
    status=$?
[ "$status" = 1 ] || fail "launcher without qxurl.net ended with $status, expected 1"
echo "passed"
