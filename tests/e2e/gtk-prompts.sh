#!/usr/bin/env bash
# A Linux user behind the transport fixture's squid, which wants credentials, whose server has
# a self-signed certificate, answers the launcher's real GTK windows driven by xdotool: the
# login dialog, the proxy's question, then the certificate's (accept once). The run logs in
# and ends by itself, so no later request of the run asked again.
# Usage: gtk-prompts.sh PATH-TO-QXLauncher PATH-TO-qxserver PEERS-FILE
set -euo pipefail
launcher="$(realpath "$1")" server="$(realpath "$2")" peers="$(realpath "$3")"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
. "$here/../support/posix/xvfb.sh"
pids=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    cat "$work"/install/LOG/*.log "$work/access.log" "$work/out" >&2 2>/dev/null || true
    exit 1
}
peer() { awk -v key="$1" '$1 == key { print $2 }' "$peers"; }

# A site whose one application has nothing to update, served over HTTPS only.
mkdir -p "$work/site/releases/Prompts/1.0" "$work/install" "$work/runtime"
printf '[Application]\nVersion=1.0\n' >"$work/site/releases/Prompts/application.ini"
printf '[Site]\nDefaultApplication=Prompts\n' >"$work/site/site.ini"
"$server" user add demo --password demo --db "$work/qxserver.db" >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
"$server" serve --root "$work/site" --db "$work/qxserver.db" --listen 127.0.0.1:0 \
    --tls-cert "$work/cert.pem" --tls-key "$work/key.pem" \
    </dev/null >"$work/server.url" 2>"$work/access.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/server.url" ] && break; sleep 0.1; done
url="$(head -n 1 "$work/server.url")"
[[ $url == https://* ]] || fail "qxserver did not start over HTTPS: $url"

xvfb_start "$work"
chmod 700 "$work/runtime"
cp "$launcher" "$work/install/"
printf '[LOG]\r\nactivateLog=1\r\ndebug=1\r\n' >"$work/install/QXLauncher.ini"
printf '[Config]\r\nURL=%s\r\n' "$url" >"$work/install/qxurl.net"
(cd "$work/install" && XDG_RUNTIME_DIR="$work/runtime" LANG=C.UTF-8 no_proxy= NO_PROXY= \
    https_proxy="http://127.0.0.1:$(peer proxy)" exec ./QXLauncher </dev/null >"$work/out" 2>&1) &
launcher_pid=$!
pids+=($launcher_pid)

# Waits for a window captioned "Launcher" other than the one given, and types into it: each
# argument is text to type, or a key after "key:".
answer() { # previous-window arguments...
    local previous="$1" id=
    shift
    for _ in $(seq 300); do
        id="$(xdotool search --onlyvisible --name '^Launcher$' 2>/dev/null | grep -vx "$previous" |
            head -n 1 || true)"
        [ -n "$id" ] && break
        kill -0 "$launcher_pid" 2>/dev/null || fail "the launcher ended before a window showed"
        sleep 0.1
    done
    [ -n "$id" ] || fail "no window after $previous"
    for input in "$@"; do
        if [[ $input == key:* ]]; then
            xdotool windowfocus --sync "$id" key --delay 30 ${input#key:}
        else
            xdotool windowfocus --sync "$id" type --delay 30 "$input"
        fi
    done
    echo "$id"
}

login="$(answer none demo key:Tab demo key:Return)"
proxy="$(answer "$login" "$(peer proxyUser)" key:Tab "$(peer proxyPassword)" key:Return)"
# The focus starts on Refuse; Accept once is the button before it.
answer "$proxy" "key:shift+Tab Return" >/dev/null
for _ in $(seq 600); do kill -0 "$launcher_pid" 2>/dev/null && sleep 0.1; done
kill -0 "$launcher_pid" 2>/dev/null && fail "the launcher did not end: a question was asked again"
wait "$launcher_pid" || fail "the launcher ended with $?"
grep -aq 'Session Id found' "$work"/install/LOG/*.log || fail "no session"
grep -q 'P3Login' "$work/access.log" || fail "the server saw no login"
echo "passed"
