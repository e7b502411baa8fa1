#!/usr/bin/env bash
# One launcher run as a user meets it, with the built programs of one target: qxserver serves
# the sample site (version 2.0) on 127.0.0.1, the installation holds version 1.0, the user types
# demo/demo into the login dialog, the launcher updates the installation and starts qxflux, which
# shows version 2.0. Checks the outcome and exits non-zero when any part of it is missing.
#   tests/e2e/demo-run.sh linux|windows OUTDIR
# With a desktop display (DISPLAY set and QX_DEMO_OWN_DISPLAY unset) the user types and closes
# qxflux; otherwise the script starts Xvfb, types for the user and saves screenshots of each step
# in OUTDIR; a launcher still running QX_DEMO_TIMEOUT seconds (default 240) after its start then
# fails the run with the windows it still shows. The Linux build QX_BUILD (default build/linux)
# gives the server for both targets and the Linux programs; the Windows ones come from
# build/windows.
# QX_DEMO_SIGNING=signed: the server signs its lists and the launcher holds its public key, the
# update runs as usual. QX_DEMO_SIGNING=wrong-key: the launcher holds another key, refuses the
# server's replies, installs nothing and starts version 1.0.
set -euo pipefail
# Named from where the caller stands.
[ -z "${QX_BUILD:-}" ] || QX_BUILD=$(realpath -m "$QX_BUILD")
cd "$(dirname "$0")/../.."
target="$1"
out="$(realpath -m "$2")"
repo="$PWD"
signing="${QX_DEMO_SIGNING:-}"
case "$signing" in
"" | signed | wrong-key) ;;
*) echo "demo-run: QX_DEMO_SIGNING is signed or wrong-key" >&2 && exit 2 ;;
esac

export QX_BUILD="${QX_BUILD:-$PWD/build/linux}"
build=$QX_BUILD
case "$target" in
linux) launcher=$build/src/QXLauncher ;;
windows) launcher=build/windows/src/QXLauncher.exe ;;
*) echo "demo-run: target is linux or windows" >&2 && exit 2 ;;
esac
server="$build/tools/server/qxserver"
timeout_seconds=${QX_DEMO_TIMEOUT:-240}

rm -rf "$out"
mkdir -p "$out"
pids=()
cleanup() {
    [ "$target" = windows ] && wineserver -k </dev/null >/dev/null 2>&1
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

fail() {
    echo "demo-run: FAILED: $*" >&2
    for log in "$out"/install/LOG/*.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    [ -f "$out/server.log" ] && { echo "--- server.log" >&2; cat "$out/server.log" >&2; }
    exit 1
}

# --- The display: the user's desktop, or a virtual one of our own.
attended=0
if [ -n "${DISPLAY:-}" ] && [ -z "${QX_DEMO_OWN_DISPLAY:-}" ] && xdotool getdisplaygeometry \
    >/dev/null 2>&1; then
    attended=1
else
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.05; done
    [ -s "$out/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$out/display")"
fi
export NO_AT_BRIDGE=1 LANG="${QX_DEMO_LANG:-C.UTF-8}"
shot() { [ "$attended" = 1 ] || import -window root "$out/$1.png" 2>/dev/null || true; }

# The update question: a new visible "Launcher" window, more than twice as wide as high
# (unlike the login dialog and the splash), whose focus starts on No.
find_question() {
    local login=$1 window WIDTH HEIGHT
    for _ in $(seq 600); do
        for window in $(xdotool search --onlyvisible --name '^Launcher$' 2>/dev/null); do
            [ "$window" = "$login" ] && continue
            eval "$(xdotool getwindowgeometry --shell "$window")"
            [ "$WIDTH" -gt $((2 * HEIGHT)) ] && { echo "$window"; return 0; }
        done
        sleep 0.1
    done
    for window in $(xdotool search --name '.*' 2>/dev/null); do
        echo "window $window: $(xdotool getwindowname "$window")" \
            "$(xdotool getwindowgeometry --shell "$window" | tr '\n' ' ')" >&2
    done
    return 1
}

# Waits for the launcher to end, with a screenshot of the progress every quarter second for ten
# seconds. Unattended, nobody answers a window that was not foreseen: the launcher is ended at
# the deadline and the run fails naming the windows it still showed.
wait_for_launcher() {
    local tick=0 names name window
    while kill -0 "$launcher_pid" 2>/dev/null; do
        if [ "$attended" = 0 ] && [ $((SECONDS - launched_at)) -ge "$timeout_seconds" ]; then
            shot 9-timed-out
            names=
            for window in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
                name=$(xdotool getwindowname "$window" 2>/dev/null) && names+=" \"$name\""
            done
            kill "$launcher_pid" 2>/dev/null || true
            fail "timed out: the launcher still ran ${timeout_seconds} s after its start;" \
                "windows still shown:${names:- none} (screenshot $out/9-timed-out.png)"
        fi
        tick=$((tick + 1))
        [ "$tick" -gt 40 ] || shot "4-progress-$(printf %02d "$tick")"
        sleep 0.25
    done
}

# --- The server and its site: a qxserver of the run's own, or the running cluster of
# scripts/cluster that QX_DEMO_CLUSTER names (its site, database and front URL). A signed run
# (QX_DEMO_SIGNING) gives the launcher the site's key, or another site's.
public_key=
if [ -n "${QX_DEMO_CLUSTER:-}" ]; then
    site="$QX_DEMO_CLUSTER/site"
    db=$(cat "$QX_DEMO_CLUSTER/database.uri")
    url=$(cat "$QX_DEMO_CLUSTER/launcher.url")
    echo "The cluster in $QX_DEMO_CLUSTER serves the sample site at $url"
else
    site="$out/site"
    db="$site/qxserver.db"
    scripts/make-site "$target" "$site"
    bash "$site/seed-users" "$server" "$db" >/dev/null
    signing_option=()
    if [ -n "$signing" ]; then
        "$server" keygen --out "$out/keys" >/dev/null
        signing_option=(--signing-key "$out/keys/signing-key.pem")
        public_key=$(cat "$out/keys/public-key.txt")
        if [ "$signing" = wrong-key ]; then
            "$server" keygen --out "$out/other-keys" >/dev/null
            public_key=$(cat "$out/other-keys/public-key.txt")
        fi
    fi
    "$server" serve --root "$site" --listen 127.0.0.1:0 --base-path /qx/ "${signing_option[@]}" \
        >"$out/server.url" 2>"$out/server.log" &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$out/server.url" ] && break; sleep 0.05; done
    url=$(head -n 1 "$out/server.url")
    [ -n "$url" ] || fail "qxserver did not start"
    echo "qxserver serves the sample site at $url"
fi

# --- An installation of version 1.0.
install="$out/install"
cp -r "$site/releases/Demo/1.0" "$install"
cp "$launcher" "$install/"
cp examples/install/QXLauncher.ini "$install/"
printf '[Config]\r\nURL=%s\r\n' "$url" >"$install/qxurl.net"
# The cluster's front has a self-signed certificate.
[[ $url != https* ]] || printf 'SecurityIgnoreUnknownCertificate=Yes\r\n' >>"$install/qxurl.net"
[ -z "$public_key" ] ||
    printf '[QXLauncher]\r\nUpdatePublicKey=%s\r\n' "$public_key" >>"$install/qxurl.net"
report="$out/qxflux-report.txt"
export QXFLUX_REPORT="$report"

if [ "$target" = windows ]; then
    # A prefix of the demo's own: Wine's server shows windows on the display it started with.
    export WINEPREFIX="$repo/build/windows/wineprefix-demo"
    . tests/support/win32/wine-display.sh
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wine_display_start
    QXFLUX_REPORT=$(winepath -w "$report" 2>/dev/null)
    (cd "$install" && exec wine "./QXLauncher.exe" </dev/null >"$out/launcher.out" 2>&1) &
else
    (cd "$install" && exec "./QXLauncher" </dev/null >"$out/launcher.out" 2>&1) &
fi
launcher_pid=$!
pids+=("$launcher_pid")
launched_at=$SECONDS

# --- The user logs in.
if [ "$attended" = 1 ]; then
    echo "Log in as demo, password demo."
else
    dialog=$(timeout 60 xdotool search --sync --onlyvisible --name '^Launcher$' | head -n 1) ||
        fail "no login dialog appeared"
    shot 1-login
    timeout 30 xdotool windowfocus --sync "$dialog" type --delay 30 demo ||
        fail "timed out typing into the login dialog"
    xdotool key Tab type --delay 30 demo
    shot 2-login-typed
    xdotool key Return
    if [ "$signing" != wrong-key ]; then
        # The site's version 2.0 is forced in some days: the launcher asks, and the user agrees.
        question=$(find_question "$dialog") || fail "no update question appeared"
        shot 3-update-question
        timeout 30 xdotool windowfocus --sync "$question" key shift+Tab Return ||
            fail "timed out answering the update question"
    fi
fi
wait_for_launcher

status=0
wait "$launcher_pid" || status=$?
echo "QXLauncher exited with code $status."

# --- The application it started.
window=$(timeout 60 xdotool search --sync --onlyvisible --classname '^qxflux' | head -n 1) ||
    fail "qxflux's window did not appear"
sleep 1
shot 5-qxflux
if [ "$attended" = 0 ]; then
    if [ "$target" = linux ]; then
        flux_pid=$(xdotool getwindowpid "$window")
        kill "$flux_pid"
    fi
fi

echo "The launcher's log:"
cat "$install"/LOG/*.log
echo "The server's access log:"
cat "$out/server.log" 2>/dev/null || cat "$QX_DEMO_CLUSTER"/instance-*.log
echo "Updates the server recorded:"
"$server" reports --db "$db"
echo "qxflux reported:"
cat "$report" 2>/dev/null || true

[ "$status" = 0 ] || fail "the launcher exited with $status"
if [ "$signing" = wrong-key ]; then
    grep -q 'Signed reply refused : GetAppInf' "$install"/LOG/*.log ||
        fail "the launcher did not refuse the reply signed by another key"
    grep -q '1\.0' "$report" || fail "qxflux does not show version 1.0"
    [ ! -e "$install/docs/guide.txt" ] || fail "a file of the refused version was installed"
    [ -e "$install/bin/old-plugin.dll" ] || fail "a file was deleted by the refused version"
    echo "demo-run: the reply signed by another key was refused and qxflux 1.0 started."
    exit 0
fi
[ -z "$signing" ] || ! grep -q 'refused' "$install"/LOG/*.log || fail "a signed reply was refused"
grep -q '2\.0' "$report" || fail "qxflux does not show version 2.0"
grep -q -- "-CS [0-9a-f]*,demo" "$report" || fail "qxflux did not get the session"
[ -f "$install/docs/guide.txt" ] || fail "the new file docs/guide.txt is missing"
[ ! -e "$install/bin/old-plugin.dll" ] || fail "bin/old-plugin.dll was not deleted"
"$server" reports --db "$db" | grep -q demo || fail "no update report"
[ "$attended" = 1 ] || echo "Screenshots of each step: $out/*.png"
echo "demo-run: the update from 1.0 to 2.0 ran and qxflux started."
