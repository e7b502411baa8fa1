#!/usr/bin/env bash
# A Linux user behind an authenticating proxy, whose server has a self-signed certificate,
# answers the launcher's real GTK windows, driven from outside with xdotool: the login dialog,
# the proxy's question (user name and password), then the certificate's (accept once). The
# run logs in and ends; the certificate is asked about once for the whole run. A second run
# refuses the certificate: no session, nothing sent to the server.
# Usage: gtk-prompts.sh PATH-TO-QXLauncher PATH-TO-qxserver PEERS-FILE
# PEERS-FILE is the transport fixture's (its squid's port and credentials).
set -euo pipefail
launcher="$(realpath "$1")"
server="$(realpath "$2")"
peers="$(realpath "$3")"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
. "$here/../support/posix/xvfb.sh"
server_pid=
launcher_pid=
cleanup() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    for log in "$work"/install*/LOG/*.log "$work/access.log" "$work/out"; do
        [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    exit 1
}

peer() { awk -v key="$1" '$1 == key { print $2 }' "$peers"; }
proxy_port="$(peer proxy)"
proxy_user="$(peer proxyUser)"
proxy_password="$(peer proxyPassword)"
[ -n "$proxy_port" ] || fail "no proxy in $peers"

# --- A site whose one application has nothing to update, served over HTTPS only.
site="$work/site"
mkdir -p "$site/releases/Prompts/1.0"
printf '[Application]\nVersion=1.0\n' >"$site/releases/Prompts/application.ini"
printf '[Site]\nDefaultApplication=Prompts\n' >"$site/site.ini"
"$server" user add demo --password demo --db "$work/qxserver.db" >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" \
    2>/dev/null
"$server" serve --root "$site" --db "$work/qxserver.db" --listen 127.0.0.1:0 \
    --tls-cert "$work/cert.pem" --tls-key "$work/key.pem" \
    </dev/null >"$work/server.url" 2>"$work/access.log" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/server.url" ] && break; sleep 0.1; done
url="$(head -n 1 "$work/server.url")"
[[ $url == https://* ]] || fail "qxserver did not start over HTTPS: $url"

xvfb_start "$work"
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" LANG=C.UTF-8
export https_proxy="http://127.0.0.1:$proxy_port" http_proxy="http://127.0.0.1:$proxy_port"
unset no_proxy NO_PROXY

# The next shown window captioned "Launcher" that is not one of the ids given.
next_window() { # known ids...
    local id
    for _ in $(seq 300); do
        for id in $(xdotool search --onlyvisible --name '^Launcher$' 2>/dev/null || true); do
            printf '%s\n' "$@" | grep -qx "$id" || { echo "$id"; return; }
        done
        kill -0 "$launcher_pid" 2>/dev/null || fail "the launcher ended before a window showed"
        sleep 0.1
    done
    fail "no new window captioned Launcher"
}
gone() { # id
    for _ in $(seq 300); do
        xdotool search --onlyvisible --name '^Launcher$' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    fail "window $1 did not close"
}
typed() { xdotool windowfocus --sync "$1" type --delay 30 "$2"; }
keys() {
    local window="$1"
    shift
    xdotool windowfocus --sync "$window" key --delay 30 "$@"
}

# Starts the launcher of a new installation; its output goes to $work/out.
start_launcher() { # name
    install="$work/$1"
    mkdir -p "$install"
    cp "$launcher" "$install/"
    printf '[LOG]\r\nactivateLog=1\r\ndebug=1\r\n' >"$install/QXLauncher.ini"
    printf '[Config]\r\nURL=%s\r\n' "$url" >"$install/qxurl.net"
    (cd "$install" && exec ./QXLauncher </dev/null >"$work/out" 2>&1) &
    launcher_pid=$!
}

end_launcher() { # expected status
    local status=0
    for _ in $(seq 600); do
        kill -0 "$launcher_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$launcher_pid" 2>/dev/null && fail "the launcher did not end"
    wait "$launcher_pid" || status=$?
    launcher_pid=
    [ "$status" -eq "$1" ] || fail "the launcher ended with $status, expected $1"
}

log_count() { grep -ac -- "$1" "$install"/LOG/*.log || true; }

# Types demo/demo into the login dialog and the proxy's credentials into its question; prints
# the certificate question that follows.
log_in_through_proxy() {
    local login proxy
    login="$(next_window)"
    typed "$login" demo
    keys "$login" Tab
    typed "$login" demo
    keys "$login" Return
    gone "$login"
    proxy="$(next_window)"
    typed "$proxy" "$proxy_user"
    keys "$proxy" Tab
    typed "$proxy" "$proxy_password"
    keys "$proxy" Return
    gone "$proxy"
    next_window "$proxy"
}

echo "login typed, proxy credentials typed, the certificate accepted once"
start_launcher install-accept
certificate="$(log_in_through_proxy)"
# The focus starts on Refuse; Accept once is the button before it.
keys "$certificate" shift+Tab Return
end_launcher 0
[ "$(log_count 'Session Id found')" -eq 1 ] || fail "no session"
grep -q 'P3Login' "$work/access.log" || fail "the server saw no login"

echo "the certificate refused: no session, nothing reaches the server"
requests="$(wc -l <"$work/access.log")"
start_launcher install-refuse
certificate="$(log_in_through_proxy)"
keys "$certificate" Return
gone "$certificate"
# The failed login shows its box, then the login dialog once more: the user gives up.
box="$(next_window "$certificate")"
keys "$box" Return
gone "$box"
login="$(next_window "$box")"
keys "$login" Escape
end_launcher 1
[ "$(log_count 'Session Id found')" -eq 0 ] || fail "a session after the refusal"
[ "$(wc -l <"$work/access.log")" -eq "$requests" ] || fail "a request reached the server"

echo "passed"
