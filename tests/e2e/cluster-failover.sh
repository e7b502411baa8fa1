#!/usr/bin/env bash
# The cluster of scripts/cluster (PostgreSQL, two qxserver instances, nginx) losing a part:
# 1. one instance is killed while the launcher updates an installation through nginx: the run
#    completes (requests go to the other instance) and every file arrives whole;
# 2. PostgreSQL is killed: both instances answer 503 and say why in their logs, nothing they
#    stored is lost, and once the database is back the same sessions and users work again;
# 3. the release folder is not served without an instance, and a burst of logins is limited.
#   tests/e2e/cluster-failover.sh OUTDIR
# Needs the linux build's QXLauncher, QXInstaller, qxflux and qxserver, nginx and PostgreSQL.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
out=$(realpath -m "$1")
server=$repo/build/linux/tools/server/qxserver
rm -rf "$out"
mkdir -p "$out"
cluster=$out/cluster
xvfb_pid=

cleanup() {
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    "$repo/scripts/cluster" stop "$cluster" >/dev/null 2>&1 || true
}
trap cleanup EXIT

fail() {
    echo "cluster-failover: FAILED: $*" >&2
    for log in "$out"/install/LOG/QXLauncher_*.log "$cluster"/instance-*.log \
        "$cluster"/nginx/error.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -n 40 "$log" >&2; }
    done
    exit 1
}

# POSTs form body to the front's service; prints "status body".
post() {
    curl -sk -m 20 -o "$out/reply" -w '%{http_code}' -d "$2" "$url$1" >"$out/status" || true
    echo "$(cat "$out/status") $(cat "$out/reply")"
}

"$repo/scripts/cluster" start "$cluster" linux >"$out/cluster.out" || fail "the cluster did not start"
url=$(cat "$cluster/launcher.url")
# Version 2.0 gains 400 files, so that the update is well under way when an instance dies.
python3 - "$cluster/site/releases/Demo/2.0/data" <<'PY'
import os, sys
for i in range(400):
    folder = os.path.join(sys.argv[1], "g%02d" % (i % 8))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "file%03d.bin" % i), "wb") as f:
        f.write(os.urandom(16384 + 97 * i))
PY

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.05; done
[ -s "$out/display" ] || fail "Xvfb did not start"
DISPLAY=":$(cat "$out/display")"
export DISPLAY NO_AT_BRIDGE=1 LANG=C.UTF-8

# --- 1. An instance dies in the middle of an update.
cp -r "$cluster/site/releases/Demo/1.0" "$out/install"
cp build/linux/src/QXLauncher examples/install/QXLauncher.ini "$out/install/"
printf '[Config]\r\nURL=%s\r\nSecurityIgnoreUnknownCertificate=Yes\r\n' "$url" \
    >"$out/install/qxurl.net"
echo "warn 6" >"$out/answers"
export QXFLUX_REPORT=$out/qxflux-report.txt
(cd "$out/install" && QXLAUNCHER_UI=scripted QXLAUNCHER_UI_SCRIPT="$out/answers" \
    exec ./QXLauncher -serverLogin demo -serverPassword demo \
    </dev/null >"$out/launcher.out" 2>&1) &
launcher=$!
for _ in $(seq 600); do
    [ "$(grep -c 'GetAppFile' "$cluster/nginx/access.log" || true)" -ge 40 ] && break
    sleep 0.05
done
victim=$(cat "$cluster/instance-1.pid")
kill -KILL "$victim"
rm -f "$cluster/instance-1.pid"
echo "killed instance 1 after $(grep -c GetAppFile "$cluster/nginx/access.log") file requests"
status=0
wait "$launcher" || status=$?
[ "$status" = 0 ] || fail "the launcher exited with $status after the instance died"
for _ in $(seq 100); do [ -s "$QXFLUX_REPORT" ] && break; sleep 0.1; done
grep -q '^version: 2.0' "$QXFLUX_REPORT" || fail "qxflux does not show version 2.0"
session=$(sed -n 's/^session: //p' "$QXFLUX_REPORT")
window=$(xdotool search --classname '^qxflux' | head -n 1) && kill "$(xdotool getwindowpid "$window")"
(cd "$cluster/site/releases/Demo/2.0" && find data -type f) | while read -r file; do
    cmp -s "$cluster/site/releases/Demo/2.0/$file" "$out/install/$file" || fail "$file differs"
done
[ "$(grep -c 'GetAppFile' "$cluster/instance-2.log")" -gt 0 ] || fail "instance 2 served no file"
"$server" reports --db "$(cat "$cluster/database.uri")" | grep -q $'\tdemo\tDemo\t2.0' ||
    fail "the update was not recorded"

# --- 2. PostgreSQL dies: 503 with the reason in the log, then recovery.
postmaster=$(head -n 1 "$cluster/pg/data/postmaster.pid")
children=$(ps -o pid= --ppid "$postmaster" | tr '\n' ' ')
kill -KILL "$postmaster"
for pid in $children; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
done
reply=$(post P3Login "password=demo&user=demo&lang=en")
[ "${reply%% *}" = 503 ] || fail "a login without the database answered $reply"
reply=$(post ExtendSession "sessionid=$session")
[ "${reply%% *}" = 503 ] || fail "ExtendSession without the database answered $reply"
grep -q 'error: database: .*PostgreSQL' "$cluster/instance-2.log" || fail "no database error logged"

"$repo/scripts/postgres" start "$cluster" >/dev/null || fail "PostgreSQL did not start again"
reply=$(post ExtendSession "sessionid=$session")
[ "$reply" = "200 Code=0" ] || fail "the launcher's session did not survive: $reply"
for _ in 1 2 3; do
    reply=$(post P3Login "password=demo&user=demo&lang=en")
    [ "$reply" = "200 Code=0" ] || fail "a login after the database came back answered $reply"
done
"$server" reports --db "$(cat "$cluster/database.uri")" | grep -q $'\tdemo\tDemo\t2.0' ||
    fail "the update report was lost"

# --- The front's own guards: files only through an instance, logins rate-limited.
code=$(curl -sk -o /dev/null -w '%{http_code}' "${url%/qx/}/_files/Demo/2.0/qxflux")
[ "$code" = 404 ] || fail "the release folder answered $code without an instance"
seq 60 | xargs -P 30 -I{} curl -sk -o /dev/null -w '%{http_code}\n' \
    -d 'password=x&user=nobody{}&lang=en' "${url}P3Login" >"$out/burst" || true
grep -q '^429$' "$out/burst" || fail "60 logins at once were not rate-limited"
echo "cluster-failover: the update survived a dead instance; the cluster survived its database."
