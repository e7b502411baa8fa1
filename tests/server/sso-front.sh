#!/usr/bin/env bash
# Single sign-on through nginx with client certificates (deploy/nginx/sso-client-cert.conf.in):
#   sso-front.sh QXSERVER DIR
# nginx on 127.0.0.1 forwards from 127.0.0.2, the only address qxserver trusts. The test CA's
# certificate of "sso" signs on; no certificate, another CA's, or a client's own X-Remote-User
# (through nginx or straight to qxserver) does not.
set -euo pipefail
server=$1
dir=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$dir"
mkdir -p "$dir/tls" "$dir/nginx/temp"
dir=$(cd "$dir" && pwd)
chmod 755 "$dir" "$dir/nginx" "$dir/nginx/temp" # nginx's workers run as nobody

pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done' EXIT
fail() {
    echo "FAILED: $*" >&2
    tail -n 5 "$dir/nginx/error.log" "$dir/server.log" >&2 || true
    exit 1
}

# Two CAs, each issuing a client certificate for "sso"; the server's own certificate.
tls=$dir/tls
for ca in company-ca stranger-ca; do
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$ca" -keyout "$tls/$ca.key" \
        -out "$tls/$ca.pem" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/O=Example/CN=sso" -keyout "$tls/sso-$ca.key" \
        -out "$tls/sso-$ca.csr" 2>/dev/null
    openssl x509 -req -in "$tls/sso-$ca.csr" -CA "$tls/$ca.pem" -CAkey "$tls/$ca.key" \
        -CAcreateserial -days 2 -out "$tls/sso-$ca.pem" 2>/dev/null
done
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -keyout "$tls/server.key" -out "$tls/server.pem" 2>/dev/null

cp -r "$repo/examples/site" "$dir/site"
rm -f "$dir/site/qxserver.db"
"$server" user add sso --sso --db "$dir/qx.db" >/dev/null
"$server" serve --root "$dir/site" --db "$dir/qx.db" --listen 127.0.0.1:0 --base-path /qx/ \
    --real-ip-from 127.0.0.2 --sso-user-header X-Remote-User </dev/null >"$dir/url" \
    2>"$dir/server.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$dir/url" ] && break; sleep 0.1; done
direct=$(head -1 "$dir/url")
[ -n "$direct" ] || fail "qxserver did not start"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])')
hostport=${direct#http://}
sed -e "s#@STATE@#$dir/nginx#g" -e "s#@UPSTREAMS@#server ${hostport%%/*};#" \
    -e "s#@LISTEN@#127.0.0.1:$port#" -e "s#@CERT@#$tls/server.pem#" -e "s#@KEY@#$tls/server.key#" \
    -e "s#@CLIENT_CA@#$tls/company-ca.pem#" -e "s#@FRONT_ADDRESS@#127.0.0.2#" \
    -e "s#@BASE@#/qx/#" "$repo/deploy/nginx/sso-client-cert.conf.in" >"$dir/nginx/nginx.conf"
nginx -p "$dir/nginx" -c "$dir/nginx/nginx.conf" -e "$dir/nginx/error.log" -g 'daemon off;' \
    </dev/null >"$dir/nginx/nginx.out" 2>&1 &
pids+=($!)
front=https://127.0.0.1:$port/qx/
for _ in $(seq 100); do curl -sk -o /dev/null "$front" && break; sleep 0.1; done

body='password=&user=sso&lang=en'
sign_on() { curl -sk -i "${@:2}" --data "$body" "${1}P3SSO" | tr -d '\r'; } # URL OPTIONS...
signed=$(sign_on "$front" --cert "$tls/sso-company-ca.pem" --key "$tls/sso-company-ca.key")
grep -q '^Set-Cookie: SessionId=[0-9a-f]\{32\}; Path=/qx/' <<<"$signed" &&
    grep -qx 'Code=0' <<<"$signed" || fail "certificate: $signed"
for attempt in "front, no certificate|$front" \
    "front, no certificate, own header|$front|-H|X-Remote-User: sso" \
    "straight to qxserver, own header|$direct|-H|X-Remote-User: sso"; do
    IFS='|' read -r -a words <<<"$attempt"
    answer=$(sign_on "${words[@]:1}")
    grep -qx 'Code=-17' <<<"$answer" && ! grep -q '^Set-Cookie' <<<"$answer" ||
        fail "${words[0]}: $answer"
done
# A certificate of another CA: nginx refuses the connection's request outright.
stranger=$(sign_on "$front" --cert "$tls/sso-stranger-ca.pem" --key "$tls/sso-stranger-ca.key")
grep -q '^HTTP/1.1 400' <<<"$stranger" || fail "stranger's certificate: $stranger"
echo "sso-front: passed"
