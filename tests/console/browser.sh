#!/bin/bash
# The admin console in a real browser: a site whose users run Demo 1.0, qxserver on 127.0.0.1,
# and headless Chromium driven by Selenium (browser.py), which logs in, starts a rollout of 2.0
# to the pilots, watches it halt itself on the failures launchers report, and saves each page.
# browser.sh QXSERVER SITE WORK_DIR [SCREENSHOT_DIR]; exits 77 (skipped) without Chromium.
set -euo pipefail
qxserver=$1 site_source=$2 work=$3 shots=${4:-$3/screenshots}
[ -x /usr/bin/chromedriver ] && [ -x /usr/bin/chromium ] || { echo "no chromium-driver"; exit 77; }
rm -rf "$work"
mkdir -p "$work" "$shots"
site=$work/site
cp -r "$site_source" "$site"
rm -f "$site"/qxserver.db*
printf '[Application]\nLabel=QX Demo\nVersion=1.0\nVersions=1.0,2.0\n' \
    >"$site/releases/Demo/application.ini"
for user in ana ben chloe dev; do
    "$qxserver" user add "$user" --password "$user" --group pilots --root "$site"
done
for user in emma finn gus hana; do
    "$qxserver" user add "$user" --password "$user" --group staff --root "$site"
done
"$qxserver" admin add ops --password console-pw --root "$site"

"$qxserver" serve --root "$site" --listen 127.0.0.1:0 --base-path /qx/ --test-faults \
    >"$work/url" 2>"$work/server.log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -s "$work/url" ] && break
    kill -0 "$server" || { cat "$work/server.log"; exit 1; }
    sleep 0.1
done
url=$(head -n 1 "$work/url")
/usr/bin/python3 "$(dirname "$0")/browser.py" "$url" "$shots"
audit=$("$qxserver" audit --root "$site")
echo "$audit"
for action in "admin add" login "rollout start" "rollout percent" "end session"; do
    grep -q "	$action	" <<<"$audit" || { echo "the audit lacks $action"; exit 1; }
done
