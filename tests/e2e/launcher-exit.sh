#!/usr/bin/env bash
# The launcher binary copied into installation folders of its own:
#   without qxurl.net it logs "END : no URL parameter in qxurl.net" and exits with 1;
#   with a server in qxurl.net and a handed-over session (so that no dialog asks for a login)
#   it logs its installation path and its command line, with the password masked, and exits
#   with 0 once the unreachable server has been given up.
# Usage: launcher-exit.sh PATH-TO-QXLauncher [wine]
set -euo pipefail
launcher="$1"
runner="${2:-}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAILED: $*" >&2
    for log in "$work"/*/LOG/*.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    exit 1
}

# Makes an installation folder with the launcher and the log switched fully on.
install() {
    local dir="$work/$1"
    mkdir -p "$dir"
    cp "$launcher" "$dir/"
    printf '[LOG]\r\nactivateLog=1\r\ndebug=1\r\n' >"$dir/QXLauncher.ini"
    echo "$dir"
}

# Runs the launcher from its folder with the given arguments; prints the exit code.
run() {
    local dir="$1"
    shift
    local status=0
    if [ "$runner" = wine ]; then
        # Wine's server must not inherit this script's output: CTest would wait for it.
        (cd "$dir" && wine "./$(basename "$launcher")" "$@" </dev/null >/dev/null 2>&1) || status=$?
    else
        (cd "$dir" && "./$(basename "$launcher")" "$@" </dev/null >/dev/null 2>&1) || status=$?
    fi
    echo "$status"
}

# The folder as the launcher names it, with its trailing separator.
native_dir() {
    if [ "$runner" = wine ]; then
        printf '%s\\' "$(winepath -w "$1" 2>/dev/null | tr -d '\r')"
    else
        printf '%s/' "$1"
    fi
}

# True when the log holds a record of the level marker whose whole message is the text.
has_line() { # log marker text
    grep -F -- "] - $3"$'\r' "$1" | grep -qF -- "$2 "
}

empty="$(install without-servers)"
status="$(run "$empty" -serverLogin jean)"
[ "$status" = 1 ] || fail "exit code $status without qxurl.net, expected 1"
log="$(ls "$empty"/LOG/*.log)"
has_line "$log" '??' "END : no URL parameter in qxurl.net" || fail "no 'no URL' line"
has_line "$log" DD "Installation Path : $(native_dir "$empty")" || fail "no installation path"

served="$(install with-servers)"
printf '[Config]\r\nURL=http://127.0.0.1:9/qx/\r\n' >"$served/qxurl.net"
status="$(run "$served" -SID:abc,jean -serverLogin jean -serverPassword "top secret")"
[ "$status" = 0 ] || fail "exit code $status with a server in qxurl.net, expected 0"
log="$(ls "$served"/LOG/*.log)"
has_line "$log" DD "Installation Path : $(native_dir "$served")" || fail "no installation path"
has_line "$log" DD "QXLauncher Command Line: [-SID:abc,jean -serverLogin jean -serverPassword ***]" ||
    fail "no masked command line"
! grep -q "top secret" "$log" || fail "the password reached the log"
! grep -q "no URL parameter" "$log" || fail "'no URL' line with a server"
echo "passed"
