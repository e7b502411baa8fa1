#!/usr/bin/env bash
# "QXLauncher -check" as a person runs it, in installation folders of its own against the
# fixture's qxserver: a sound folder with credentials exits 0 with the update's plan, a URL
# under the wrong section exits 1 naming it; no window is needed and nothing is written.
# Usage: launcher-check.sh PATH-TO-QXLauncher QXSERVER-STATE-DIR [wine]
set -euo pipefail
launcher="$1"
url="$(cat "$2/url.txt")"
runner="${3:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# check NAME EXPECTED-EXIT QXURL-CONTENT ARGUMENTS...: runs the check, prints its report.
check() {
    local name="$1" dir="$work/$1" expected="$2" content="$3" status=0
    shift 3
    mkdir -p "$dir"
    cp "$launcher" "$dir/"
    printf 'MZ' >"$dir/QXInstaller$([ "$runner" = wine ] && echo .exe)"
    printf '%b' "$content" >"$dir/qxurl.net"
    local before
    before="$(ls "$dir")"
    if [ "$runner" = wine ]; then
        (cd "$dir" && wine "./$(basename "$launcher")" -check "$@" </dev/null >"$work/$name.out" 2>/dev/null) || status=$?
    else
        (cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY "./$(basename "$launcher")" -check "$@" \
            </dev/null >"$work/$name.out") || status=$?
    fi
    [ "$status" = "$expected" ] || { cat "$work/$name.out" >&2; echo "FAILED: $name exited $status" >&2; exit 1; }
    [ "$(ls "$dir")" = "$before" ] || { echo "FAILED: $name wrote in its folder: $(ls "$dir")" >&2; exit 1; }
    cat "$work/$name.out"
}

report="$(check sound 0 "[Config]\r\nURL1=$url\r\n[QXLauncher]\r\nApplicationName=Demo\r\n" \
    -serverLogin demo -serverPassword demo)"
grep -q '^ok       version 2.0: .* file(s) to fetch' <<<"$report" || { echo "FAILED: no plan: $report" >&2; exit 1; }
grep -q '^All is well.' <<<"$report" || { echo "FAILED: $report" >&2; exit 1; }
report="$(check misplaced 1 "[QXLauncher]\r\nURL1=$url\r\n")"
grep -q '^PROBLEM  qxurl.net:2: URL1 belongs in \[Config\]' <<<"$report" || { echo "FAILED: $report" >&2; exit 1; }
echo "ok"
