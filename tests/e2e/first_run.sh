#!/usr/bin/env bash
# The launcher's first run in a folder of its own: the settings file it leaves behind, and the
# log it writes once logging is switched on.
#   first_run.sh PROGRAM [RUNNER...]   e.g. first_run.sh build/linux/src/QXLauncher
#                                      or   first_run.sh QXLauncher.exe wine
set -euo pipefail
program="$1"
shift
runner=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

run_in() { # folder
    cp "$program" "$1/"
    (cd "$1" && "${runner[@]}" "./$(basename "$program")" </dev/null >/dev/null 2>&1) || true
}

# An empty folder: the default settings are written back, nothing is logged.
mkdir "$work/empty"
run_in "$work/empty"
ini="$work/empty/QXLauncher.ini"
[ -f "$ini" ] || fail "no QXLauncher.ini written"
settings=$(tr -d '\r' <"$ini" | grep -v '^$' | tr '\n' ' ')
expected="[LOG] activateLog=0 warning=1 error=1 info=1 production=1 debug=0 "
[ "$settings" = "$expected" ] || fail "settings are [$settings], expected [$expected]"
[ -z "$(ls -A "$work/empty/LOG" 2>/dev/null)" ] || fail "a log was written with logging off"

# Logging on, with debug: banner, versions and the configuration dump, CR LF throughout.
mkdir "$work/logging"
printf '[LOG]\r\nactivateLog=1\r\ndebug=1\r\n' >"$work/logging/QXLauncher.ini"
run_in "$work/logging"
log=$(ls "$work"/logging/LOG/QXLauncher_????????.log 2>/dev/null | head -n 1)
[ -n "$log" ] || fail "no daily log file"

stamp='[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \{[0-9]+\} \[QXLauncher\] - '
expect_line() { # marker text
    grep -qE "^$1 $stamp$2"$'\r'"\$" "$log" || fail "missing line: $1 $2"
}
expect_line '  ' '-----------------------'
expect_line '  ' '- QXLauncher starting -'
expect_line '\?\?' 'file version : 11\.1\.3\.0'
expect_line '  ' 'Internal version: 11\.1\.3\.\* \[\$Change: 695933 \$ \$DateTime: 2012/08/08 15:31:30 \$\]'
expect_line 'DD' 'Configuration file \[QXLauncher\.ini\] content:'
grep -q '^activateLog=1'$'\r''$' "$log" || fail "the dump does not hold the settings file"
expect_line '\*\*' 'Unable to find configuration file \[QXUrl\.net\]'
[ "$(grep -c $'[^\r]$' "$log")" -eq 0 ] || fail "a line does not end in CR LF"
echo "first run: settings and log as expected"
