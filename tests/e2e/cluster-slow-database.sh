#!/usr/bin/env bash
# The cluster of scripts/cluster while its database stalls: a transaction holds the sessions
# table locked. The instances give up after their database time-out (1 s here, by option) and
# nginx answers 503 at once instead of waiting for the lock; once it is gone, the same session
# works again.
#   tests/e2e/cluster-slow-database.sh OUTDIR
# Needs the linux build's qxserver, nginx and PostgreSQL (with psql).
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
out=$(realpath -m "$1")
rm -rf "$out"
mkdir -p "$out"
cluster=$out/cluster
locker=

cleanup() {
    [ -z "$locker" ] || kill "$locker" 2>/dev/null || true
    "$repo/scripts/cluster" stop "$cluster" >/dev/null 2>&1 || true
}
trap cleanup EXIT

fail() {
    echo "cluster-slow-database: FAILED: $*" >&2
    for log in "$cluster"/instance-*.log "$cluster"/nginx/error.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}

# POSTs form body to the front's service; prints the status.
post() {
    curl -sk -m 60 -o /dev/null -w '%{http_code}' -d "$2" "$url$1" || true
}

# The sample site: no release needs more than its files here.
mkdir -p "$cluster"
cp -r examples/site "$cluster/site"
rm -f "$cluster/site/qxserver.db"*
QX_CLUSTER_SERVE_ARGS="--db-timeout-seconds 1" QX_CLUSTER_LOGIN_RATE=1000r/s \
    "$repo/scripts/cluster" start "$cluster" linux >"$out/cluster.out" || fail "the cluster did not start"
url=$(cat "$cluster/launcher.url")
db=$(cat "$cluster/database.uri")
session=$(curl -sk -i -d 'password=demo&user=demo&lang=en' "${url}P3Login" |
    sed -n 's/^Set-Cookie: SessionId=\([0-9a-f]*\).*/\1/Ip')
[ -n "$session" ] || fail "no session"

psql -q "$db&application_name=qxlocker" >/dev/null 2>&1 <<'SQL' &
BEGIN;
LOCK TABLE sessions IN ACCESS EXCLUSIVE MODE;
SELECT pg_sleep(120);
SQL
locker=$!
held="SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation
      WHERE c.relname = 'sessions' AND l.mode = 'AccessExclusiveLock' AND l.granted"
for _ in $(seq 100); do
    [ "$(psql -tA "$db" -c "$held")" = 1 ] && break
    sleep 0.1
done
[ "$(psql -tA "$db" -c "$held")" = 1 ] || fail "the sessions table was not locked"

# Twenty requests at once: more than an instance has connections, so some wait for one.
seq 20 | xargs -P 20 -I{} curl -sk -m 60 -o /dev/null -w '%{http_code}\n' \
    -d "sessionid=$session" "${url}ExtendSession" >"$out/burst" || true
[ "$(grep -c '^503$' "$out/burst")" = 20 ] || fail "while locked: $(sort "$out/burst" | uniq -c)"
[ "$(post P3Login 'password=demo&user=demo&lang=en')" = 503 ] || fail "a login waited for the lock"
grep -q 'error: database: .*timeout' "$cluster"/instance-1.log || fail "no time-out logged"

# The server would hold the lock until its sleep ends: end the locking session itself.
psql -q "$db" -c "SELECT pg_terminate_backend(pid) FROM pg_stat_activity
                  WHERE application_name = 'qxlocker'" >/dev/null
wait "$locker" 2>/dev/null || true
locker=
[ "$(post ExtendSession "sessionid=$session")" = 200 ] || fail "the session did not work again"
echo "cluster-slow-database: passed"
