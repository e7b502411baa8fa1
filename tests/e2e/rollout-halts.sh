#!/usr/bin/env bash
# A rollout that halts itself on the failures real launchers report:
#   - 2.0 of Ring goes to group pilots with --halt-on-failures 50 --min-reports 3: three
#     pilots' launchers update to 2.0, a user outside the group stays on 1.0;
#   - then every file of 2.0 fails (an injected server fault): three more pilots' launchers
#     report their failed download, and the third report halts the rollout (3 of 6 failed);
#   - the next pilot is given 1.0 again and has nothing to update.
# Usage: rollout-halts.sh QXLauncher QXInstaller qxserver OUTDIR
set -euo pipefail
launcher="$1" installer="$2" server="$3" work="$(realpath -m "$4")"
rm -rf "$work"
mkdir -p "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
server_pid=
trap '[ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true' EXIT

fail() {
    echo "rollout-halts: FAILED: $*" >&2
    for log in "$work"/*/LOG/*.log "$work/server.log"; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -n 40 "$log" >&2; }
    done
    exit 1
}

# --- The site: Ring 1.0 for everyone; each version's program notes its version when run.
site="$work/site"
for version in 1.0 2.0; do
    mkdir -p "$site/releases/Ring/$version"
    echo "$version" >"$site/releases/Ring/$version/version.txt"
    printf '#!/bin/sh\ncat version.txt >>runs.txt\n' >"$site/releases/Ring/$version/ring"
    chmod +x "$site/releases/Ring/$version/ring"
    printf '[Version]\nPrimaryName=ring\nDaysBeforeForceUpdateValue=0\n' \
        >"$site/releases/Ring/$version.ini"
done
printf '[Application]\nLabel=Ring\nVersion=1.0\nVersions=1.0,2.0\n' \
    >"$site/releases/Ring/application.ini"
for user in pilot1 pilot2 pilot3 pilot4 pilot5 pilot6 pilot7; do
    "$server" user add "$user" --password secret --group pilots --root "$site" >/dev/null
done
"$server" user add plain --password secret --root "$site" >/dev/null

"$server" serve --root "$site" --listen 127.0.0.1:0 --test-faults </dev/null \
    >"$work/server.url" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/server.url" ] && break; sleep 0.05; done
url="$(head -n 1 "$work/server.url")"
[ -n "$url" ] || fail "qxserver did not start"

"$server" rollout start --root "$site" --app Ring --version 2.0 --group pilots \
    --halt-on-failures 50 --min-reports 3 >/dev/null || fail "the rollout did not start"

# Runs the real launcher as user in a fresh installation of 1.0; the version it then holds.
run() { # user
    local dir="$work/$1"
    cp -r "$site/releases/Ring/1.0" "$dir"
    cp "$launcher" "$installer" "$dir/"
    printf '[LOG]\r\nactivateLog=1\r\ndebug=1\r\n' >"$dir/QXLauncher.ini"
    printf '[Config]\r\nURL=%s\r\n[QXLauncher]\r\nApplicationName=Ring\r\n' "$url" \
        >"$dir/qxurl.net"
    (cd "$dir" && QXLAUNCHER_UI=scripted XDG_RUNTIME_DIR="$work/runtime" \
        XDG_CONFIG_HOME="$work/config" timeout 120 ./QXLauncher -serverLogin "$1" \
        -serverPassword secret </dev/null >/dev/null 2>&1) || fail "the launcher of $1 ended with $?"
    cat "$dir/version.txt"
}

for pilot in pilot1 pilot2 pilot3; do
    [ "$(run "$pilot")" = 2.0 ] || fail "$pilot was not updated to 2.0"
    grep -q 'Update report sent : done in' "$work/$pilot"/LOG/*.log || fail "$pilot sent no duration"
done
[ "$(run plain)" = 1.0 ] || fail "a user outside the group was updated"

# --- 2.0 breaks: each failing launcher asks three times for its first file.
code=$(curl -s -o /dev/null -w '%{http_code}' -d 'service=GetAppFile&count=9&status=500' \
    "${url}_faults")
[ "$code" = 200 ] || fail "the fault was not accepted ($code)"
for pilot in pilot4 pilot5 pilot6; do
    [ "$(run "$pilot")" = 1.0 ] || fail "$pilot's failed update changed the installation"
done
"$server" rollout status --app Ring --root "$site" | grep -qx $'state\thalted' ||
    fail "the rollout did not halt"
grep -q 'rollout halted: 3 of 6 reports of 2.0 failed .* at download: Status code error : 500' \
    "$work/server.log" || fail "the server did not log the halt with the launchers' reason"

# --- The next pilot keeps 1.0: nothing to update, nothing fetched.
[ "$(run pilot7)" = 1.0 ] || fail "pilot7 was updated after the halt"
grep -q 'EXIT : no update needed' "$work/pilot7"/LOG/*.log || fail "pilot7 was offered 2.0"
echo "rollout-halts: three pilots updated, three failures halted the rollout, the next got 1.0"
