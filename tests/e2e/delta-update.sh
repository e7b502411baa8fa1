#!/usr/bin/env bash
# Updates through patches, end to end, for one target: the demo site (scripts/make-site, whose
# 2.0 changes bin/catalog.dat of 1.0) served by qxserver with deltas on, and an installation of
# 1.0 updated to 2.0 by the launcher without a question. One installation per case:
#   patch       the launcher asks for the patch (the access log shows it) and rebuilds the file;
#               a text new in 2.0 comes packed and is unpacked as it arrives
#   packed-*    the packed text on the server damaged, cut short, or another text's: each ends
#               with the whole download of the text
#   corrupt     the patch on the server is damaged: it no longer is what the list announced
#   other-base  the server's patch was made from another file: the decoder refuses it
#   signed      the patch made again, on a site that signs its lists (the patch's SHA-256 too)
#   no-deltas   a site without deltas: whole files, as before
# Every case must end with catalog.dat and the text exactly 2.0's. Windows runs under Wine on an Xvfb of its
# own.
# Usage: delta-update.sh linux|windows BUILD-DIR QXSERVER WORK-DIR
set -euo pipefail
target="$1" build="$(realpath "$2")" server="$(realpath "$3")" work="$(realpath -m "$4")"
repo="$(cd "$(dirname "$0")/../.." && pwd)"

rm -rf "$work"
mkdir -p -m 700 "$work/runtime"
server_pid=
cleanup() {
    [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
    [ "$target" != windows ] || display_stop
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    for log in "$work"/*/LOG/*.log "$work/server.log"; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -n 60 "$log" >&2; }
    done
    exit 1
}

site="$work/site"
QX_BUILD="${QX_BUILD:-$build}" "$repo/scripts/make-site" "$target" "$site"
# 2.0 is due at once: the launcher updates without asking.
sed -i 's/^DaysBeforeForceUpdateValue=.*/DaysBeforeForceUpdateValue=0/' "$site/releases/Demo/2.0.ini"
bash "$site/seed-users" "$server" "$site/qxserver.db" >/dev/null
wanted="$site/releases/Demo/2.0/bin/catalog.dat"
patch="$site/releases/Demo/.deltas/2.0/bin/catalog.dat.from-1.0.zst"
manual="$site/releases/Demo/2.0/docs/manual.txt"
packed="$site/releases/Demo/.deltas/2.0/docs/manual.txt.zst"
seq -f 'line %g of the manual' 20000 >"$manual"

public_key=
serve() { # [options]
    [ -z "$server_pid" ] || { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; }
    rm -f "$work/server.url"
    "$server" serve --root "$site" --listen 127.0.0.1:0 --base-path /qx/ "$@" </dev/null \
        >"$work/server.url" 2>>"$work/server.log" &
    server_pid=$!
    for _ in $(seq 100); do [ -s "$work/server.url" ] && break; sleep 0.05; done
    url="$(head -n 1 "$work/server.url")"
    [ -n "$url" ] || fail "qxserver did not start"
}

# A file list makes missing frames for a few seconds only, then leaves the rest to later lists:
# under load the first list may come without the patch. Lists are asked for until it exists,
# so that each case's launcher finds it announced.
make_frames() {
    local session
    for _ in $(seq 30); do
        [ -f "$patch" ] && [ -f "$packed" ] && return 0
        session=$(curl -s -o /dev/null -D - --data "user=demo&password=demo&lang=en" \
            "${url}P3Login" | sed -n 's/^Set-Cookie: SessionId=\([0-9a-f]*\).*/\1/Ip')
        curl -s -o /dev/null -b "SessionId=$session" \
            --data "sessionid=$session&application=Demo&version=2.0&lang=en" "${url}GetAppChecksum"
    done
    fail "qxserver made no patch of catalog.dat or no packed copy of manual.txt"
}

if [ "$target" = windows ]; then
    export WINEPREFIX="$work/wineprefix"
    . "$repo/tests/support/win32/wine-display.sh"
    display_start "$work"
    wine_display_start
    launcher="$repo/build/windows/src/QXLauncher.exe"
    run=(timeout 120 wine ./QXLauncher.exe)
else
    launcher="$build/src/QXLauncher"
    # No display: the qxflux each update starts ends at once instead of blocking the next one.
    run=(env -u DISPLAY QXLAUNCHER_UI=scripted XDG_RUNTIME_DIR="$work/runtime" timeout 120 ./QXLauncher)
fi

update() { # case: an installation of 1.0 updated by the launcher
    local dir="$work/$1"
    cp -r "$site/releases/Demo/1.0" "$dir"
    cp "$launcher" "$repo/examples/install/QXLauncher.ini" "$dir/"
    printf '[Config]\r\nURL=%s\r\n' "$url" >"$dir/qxurl.net"
    [ -z "$public_key" ] ||
        printf '[QXLauncher]\r\nUpdatePublicKey=%s\r\n' "$public_key" >>"$dir/qxurl.net"
    (cd "$dir" && "${run[@]}" -serverLogin demo -serverPassword demo </dev/null >/dev/null 2>&1) ||
        fail "$1: the launcher ended with $?"
    # Under Wine, the qxflux it started would make the next launcher stop at once.
    if [ "$target" = windows ]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wine_display_start
    fi
}

packed_corrupt() { # a byte of the packed copy changed, its size and time kept
    cp -p "$packed" "$work/packed.good"
    printf '\x55' | dd of="$packed" bs=1 seek=100 conv=notrunc status=none
    touch -r "$work/packed.good" "$packed"
}
packed_cut() { # the packed copy without its last bytes, announced so
    head -c -20 "$work/packed.good" >"$packed"
}
packed_other() { # the packed copy of another text of the same size, announced so
    sed 's/line 20000/line 2000x/' "$manual" | zstd -q -f -o "$packed"
}
corrupt() { # a byte of the cached patch changed, its size and time kept; the packed copy mended
    cp -p "$work/packed.good" "$packed"

    cp -p "$patch" "$work/patch.good"
    printf '\x55' | dd of="$patch" bs=1 seek=200 conv=notrunc status=none
    touch -r "$work/patch.good" "$patch"
}
other_base() { # the patch remade from another file (2.0's with a few bytes changed)
    cp "$wanted" "$work/other"
    printf 'other base' | dd of="$work/other" bs=1 seek=300000 conv=notrunc status=none
    zstd -q -f --patch-from="$work/other" "$wanted" -o "$patch"
}
signed() {
    rm "$patch"
    "$server" keygen --out "$work/keys" >/dev/null
    public_key=$(cat "$work/keys/public-key.txt")
    serve --signing-key "$work/keys/signing-key.pem"
    make_frames
}
no_deltas() {
    sed -i '/^\[Updates\]/,$d' "$site/site.ini"
    public_key=
    serve
}

# case | preparation | the launcher's lines (separated by ;) | patches served
cases=(
    "patch|:|catalog.dat rebuilt from a patch of;manual.txt unpacked from|1"
    "packed-corrupt|packed_corrupt|manual.txt : whole download, zstd: |1"
    "packed-cut|packed_cut|manual.txt : whole download, the frame ends early|1"
    "packed-other|packed_other|manual.txt : whole download, the result differs from the list|1"
    "corrupt|corrupt|catalog.dat : whole download, zstd: |1"
    "other-base|other_base|catalog.dat : whole download, zstd: |1"
    "signed|signed|catalog.dat rebuilt from a patch of|1"
    "no-deltas|no_deltas|catalog.dat downloaded|0"
)
serve
make_frames
for row in "${cases[@]}"; do
    IFS='|' read -r name prepare lines requests <<<"$row"
    $prepare
    before=$(wc -l <"$work/server.log")
    update "$name"
    served=$(tail -n +$((before + 1)) "$work/server.log" |
        grep -c "\"POST /qx/GetAppFileDelta\" 200 $(stat -c %s "$patch") " || true)
    cmp -s "$work/$name/bin/catalog.dat" "$wanted" || fail "$name: catalog.dat is not 2.0's"
    cmp -s "$work/$name/docs/manual.txt" "$manual" || fail "$name: manual.txt is not 2.0's"
    [ -f "$work/$name/docs/guide.txt" ] || fail "$name: the update did not install 2.0"
    IFS=';' read -ra expected <<<"$lines"
    for line in "${expected[@]}"; do
        grep -aqF "$line" "$work/$name"/LOG/*.log || fail "$name: no log line \"$line\""
    done
    [ "$served" -eq "$requests" ] || fail "$name: the patch was served $served times, not $requests"
done
echo "delta-update: every case ended with 2.0's catalog.dat and manual.txt"
