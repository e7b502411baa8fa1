#!/usr/bin/env bash
# One qxserver, started once, serves a Linux launcher and a Windows launcher (under Wine) alike:
#   - josé / café logs in from an English launcher of each target, and the update brings
#     docs/café.txt to the same name on both;
#   - ユーザー / パスワード logs in from a Japanese launcher of each target;
#   - a wrong password there shows the server's Japanese refusal on both as the same text;
#   - alice of the company directory (scripts/ldap) logs in from each target, and a wrong
#     directory password shows the usual refusal.
#   - a password a+b%c#d logs in from both, read raw by the server;
#   - a Polish user logs in from both in a Polish locale (code page 1250) against a second
#     qxserver started with --code-page 1250.
# Usage: one-server-both-launchers.sh QXLauncher QXInstaller QXLauncher.exe QXInstaller.exe \
#            qxserver qx_win32_driver.exe LOCALE-DIR      (WINEPREFIX set by the caller)
# The Japanese and Polish locales that Wine takes its code page from are made once in
# LOCALE-DIR.
set -euo pipefail
linux_launcher="$1" linux_installer="$2" windows_launcher="$3" windows_installer="$4"
server="$5" driver="$6" locales="$(realpath -m "$7")"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
server_pid=
polish_pid=
. "$here/../support/win32/wine-display.sh"
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    "$here/../../scripts/ldap" stop "$work/ldap"
    [ -n "$polish_pid" ] && kill "$polish_pid" 2>/dev/null
    display_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    for log in "$work"/*/LOG/*.log "$work/server.log"; do
        [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    exit 1
}

# --- Japanese as a locale Wine can take its language and code page from.
for locale in ja_JP pl_PL; do
    if [ ! -d "$locales/$locale.UTF-8" ]; then
        mkdir -p "$locales"
        localedef -i "$locale" -f UTF-8 "$locales/$locale.UTF-8" >/dev/null 2>&1 ||
            [ -d "$locales/$locale.UTF-8" ] || fail "cannot make the $locale.UTF-8 locale"
    fi
done
export LOCPATH="$locales" LANG=C.UTF-8
japanese=ja_JP.UTF-8 polish=pl_PL.UTF-8

# --- The site: josé gets 1.0 with docs/café.txt, ユーザー an empty 0.9 (nothing to update).
site="$work/site"
mkdir -p "$site/releases/Wire/1.0/docs" "$site/releases/Wire/0.9"
printf 'menu\n' >"$site/releases/Wire/1.0/docs/café.txt"
printf '[Application]\nVersion=1.0\n[User ユーザー]\nVersion=0.9\nVersions=0.9\n' \
    >"$site/releases/Wire/application.ini"
db="$work/qxserver.db"
"$server" user add 'josé' --password 'café' --db "$db" >/dev/null
"$server" user add 'ユーザー' --password 'パスワード' --db "$db" >/dev/null
export LDAPNOINIT=1
ldap_url="$("$here/../../scripts/ldap" start "$work/ldap" | tail -n 1)"
"$server" user add 'plus' --password 'a+b%c#d' --db "$db" >/dev/null
"$server" user add 'Zażółć' --password 'gęślą jaźń' --db "$db" >/dev/null

serve() { # name [options...]: starts a server, sets its url and pid
    "$server" serve --root "$site" --db "$db" --listen 127.0.0.1:0 --base-path /qx/ "${@:2}" \
        </dev/null >"$work/$1.url" 2>"$work/$1.log" &
    served_pid=$!
    for _ in $(seq 100); do [ -s "$work/$1.url" ] && break; sleep 0.05; done
    served_url="$(head -n 1 "$work/$1.url")"
    [ -n "$served_url" ] || fail "qxserver $1 did not start"
}
serve server --ldap-url "$ldap_url" \
    --ldap-user-dn 'uid=%s,ou=people,dc=example,dc=test'
server_pid=$served_pid url=$served_url
serve polish --code-page 1250
polish_pid=$served_pid polish_url=$served_url

display_start "$work"
wine_display_start

# A fresh installation of the target's launcher and installer, logging everything.
install() { # name launcher installer
    local dir="$work/$1"
    mkdir -p "$dir"
    cp "$2" "$3" "$dir/"
    printf '[LOG]\r\nactivateLog=1\r\ndebug=1\r\n' >"$dir/QXLauncher.ini"
    printf '[Config]\r\nURL=%s\r\n' "${site_url:-$url}" >"$dir/qxurl.net"
    echo "$dir"
}

# Runs a launcher of the target in a new installation with LANG and the arguments; prints
# the installation folder. The Linux one runs unattended and records its message boxes.
run_linux() { # name lang args...
    local dir
    dir="$(install "$1" "$linux_launcher" "$linux_installer")"
    local lang="$2"
    shift 2
    mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
    (cd "$dir" && LANG="$lang" QXLAUNCHER_UI=scripted QXLAUNCHER_UI_RECORD="$dir/boxes.txt" \
        XDG_RUNTIME_DIR="$work/runtime" timeout 120 ./QXLauncher "$@" </dev/null \
        >/dev/null 2>&1) || fail "the Linux launcher of $dir ended with $?"
    echo "$dir"
}

start_windows() { # name lang args...
    local dir
    dir="$(install "$1" "$windows_launcher" "$windows_installer")"
    local lang="$2"
    shift 2
    (cd "$dir" && LANG="$lang" exec timeout 120 wine ./QXLauncher.exe "$@" </dev/null \
        >/dev/null 2>&1) &
    windows_pid=$!
    windows_dir="$dir"
}

end_windows() {
    wait "$windows_pid" || fail "the Windows launcher of $windows_dir ended with $?"
}

# The driver's findings without Wine's carriage returns.
drive() { wine "$driver" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

logged_in() { # dir
    grep -aq 'Session Id found' "$1"/LOG/*.log || fail "no session in $1"
}

updated() { # dir
    logged_in "$1"
    [ "$(cat "$1/docs/café.txt" 2>/dev/null)" = menu ] || fail "no docs/café.txt in $1"
}

echo "== josé / café from an English launcher of each target; docs/café.txt on both"
linux="$(run_linux linux-en C.UTF-8 -serverLogin 'josé' -serverPassword 'café')"
start_windows windows-en C.UTF-8 -serverLogin 'josé' -serverPassword 'café'
end_windows
updated "$linux"
updated "$windows_dir"

echo "== ユーザー / パスワード from a Japanese launcher of each target"
linux="$(run_linux linux-ja "$japanese" -serverLogin 'ユーザー' -serverPassword 'パスワード')"
start_windows windows-ja "$japanese" -serverLogin 'ユーザー' -serverPassword 'パスワード'
end_windows
logged_in "$linux"
logged_in "$windows_dir"

echo "== a wrong password: the server's Japanese refusal, the same text on both"
refusal='ユーザー名またはパスワードが正しくありません。 (1)'
linux="$(run_linux linux-refused "$japanese" -serverLogin 'ユーザー' -serverPassword 'x')"
grep -qxF "box $refusal" "$linux/boxes.txt" || fail "Linux showed: $(cat "$linux/boxes.txt")"
start_windows windows-refused "$japanese" -serverLogin 'ユーザー' -serverPassword 'x'
shown="$(drive box 1)"
grep -qxF "text=$refusal" <<<"$shown" || fail "Windows showed: $shown"
# The second attempt asks in the emptied login dialog: the user gives up.
drive click 105 2 >/dev/null || fail "no login dialog after the refusal"
end_windows

echo "== alice of the directory from a launcher of each target; a wrong directory password"
linux="$(run_linux linux-alice C.UTF-8 -serverLogin alice -serverPassword alice-pw)"
start_windows windows-alice C.UTF-8 -serverLogin alice -serverPassword alice-pw
end_windows
updated "$linux"
updated "$windows_dir"
linux="$(run_linux linux-alice-refused C.UTF-8 -serverLogin alice -serverPassword bob-pw)"
grep -qxF "box Wrong user name or password. (1)" "$linux/boxes.txt" ||
    fail "Linux showed: $(cat "$linux/boxes.txt")"

echo "== a+b%c#d, read raw by the server, from an English launcher of each target"
linux="$(run_linux linux-raw C.UTF-8 -serverLogin plus -serverPassword 'a+b%c#d')"
start_windows windows-raw C.UTF-8 -serverLogin plus -serverPassword 'a+b%c#d'
end_windows
logged_in "$linux"
logged_in "$windows_dir"

echo "== Zażółć / gęślą jaźń from a Polish locale on each target, server on code page 1250"
site_url="$polish_url"
linux="$(run_linux linux-pl "$polish" -serverLogin 'Zażółć' -serverPassword 'gęślą jaźń')"
start_windows windows-pl "$polish" -serverLogin 'Zażółć' -serverPassword 'gęślą jaźń'
end_windows
logged_in "$linux"
logged_in "$windows_dir"
# Decoded from 1250: the server holds the name as UTF-8 (ż is \xc5\xbc).
[ "$(grep 'P3Login" 200 .*user=Za\\xc5\\xbc' "$work/polish.log" | grep -vc refused)" = 2 ] ||
    fail "the server on 1250 did not log Zażółć in twice"

grep -q 'user=jos\\xc3\\xa9' "$work/server.log" || fail "the server did not log josé"
echo "passed"
