#!/usr/bin/env bash
# The client installer of scripts/package-client for one target, as a company ships it: a
# signed site (scripts/make-site, version 2.0 forced) served by qxserver on 127.0.0.1, the
# installer made for it with the site's key, a company CA and a splash picture, then
#   - a folder holding other files is refused as the installation folder;
#   - the silent install lays down the launcher, its installer, qxurl.net and the extras, with a
#     menu entry (Windows: Start-menu shortcut and uninstall key of the user);
#   - the first start of the installed launcher updates it to the site's version;
#   - the uninstall leaves nothing behind.
# Windows runs in a Wine prefix of the test's own, on an Xvfb of its own.
# Usage: client-package.sh linux|windows BUILD-DIR QXSERVER WORK-DIR
set -euo pipefail
target="$1" build="$(realpath "$2")" server="$(realpath "$3")" work="$(realpath -m "$4")"
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
name="Acme Notes"

rm -rf "$work"
mkdir -p "$work"
server_pid=
cleanup() {
    [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
    [ "$target" != windows ] || display_stop
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    [ ! -f "$work/server.log" ] || { echo "--- server.log" >&2; cat "$work/server.log" >&2; }
    exit 1
}

# The value of KEY in SECTION of an INI file, as the launcher reads it.
ini_value() { # file section key
    tr -d '\r' <"$1" | awk -v section="[$2]" -v key="$3" '
        /^\[/ { inside = ($0 == section) }
        inside && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }'
}

# --- The site, signed by its own key, whose version 2.0 every user gets without a question.
"$repo/scripts/make-site" "$target" "$work/site"
sed -i 's/^ForceUpdate=FALSE/ForceUpdate=TRUE/' "$work/site/releases/Demo/2.0.ini"
bash "$work/site/seed-users" "$server" "$work/site/qxserver.db" >/dev/null
"$server" keygen --out "$work/keys" >/dev/null
"$server" serve --root "$work/site" --listen 127.0.0.1:0 --base-path /qx/ \
    --signing-key "$work/keys/signing-key.pem" </dev/null >"$work/server.url" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/server.url" ] && break; sleep 0.05; done
url="$(head -n 1 "$work/server.url")"
[ -n "$url" ] || fail "qxserver did not start"

convert -size 506x388 xc:'#204080' "BMP3:$work/splash.bmp"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=Acme-CA \
    -days 1 -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
echo "== mistakes in the site's details are refused, each with its reason"
refused() { # reason arguments...
    local reason="$1" said
    shift
    ! said="$(QX_BUILD="$build" "$repo/scripts/package-client" --target "$target" \
        --out "$work/refused" "$@" 2>&1)" || fail "package-client took $*"
    [[ $said == *"$reason"* ]] || fail "package-client said '$said' to $*"
}
refused "--name must" --name ../x --url "$url"
refused "--name must" --name "x." --url "$url"
refused "--url must be" --name x --url "ftp://127.0.0.1/qx/"
refused "--url must end in '/'" --name x --url "${url%/}"
refused "--url has no valid port" --name x --url "http://127.0.0.1:70000/qx/"
refused "not an ECDSA P-256 public key" --name x --url "$url" --public-key "$work/ca.pem"
refused "not a PEM file of certificates" --name x --url "$url" --ca-file "$work/splash.bmp"
refused "is not a BMP file" --name x --url "$url" --splash "$work/ca.pem"
[ ! -e "$work/refused" ] || fail "a refused run made $(ls -A "$work/refused")"

QX_BUILD="$build" "$repo/scripts/package-client" --target "$target" --name "$name" --url "$url" \
    --public-key "$work/keys/public-key.txt" --ca-file "$work/ca.pem" --splash "$work/splash.bmp" \
    --out "$work/out" >/dev/null || fail "package-client failed"

# --- Per target: where things go, and how to install, start and uninstall.
if [ "$target" = windows ]; then
    export WINEPREFIX="$work/wineprefix"
    . "$repo/tests/support/win32/wine-display.sh"
    # Wine would turn the shortcut into menu files of its own, which no uninstaller removes.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    display_start "$work"
    wine_display_start
    user="$WINEPREFIX/drive_c/users/$(id -un)"
    inst="$user/AppData/Local/Programs/$name"
    entry="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$name.lnk"
    key="HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
    exe=.exe
    busy="$WINEPREFIX/drive_c/busy"
    install_into() { # [folder]
        local folder=()
        [ $# -eq 0 ] || folder=("/D=$(winepath -w "$1" 2>/dev/null | tr -d '\r')")
        (cd "$work/out" && timeout 60 wine "$name-setup.exe" /S "${folder[@]}" </dev/null \
            >/dev/null 2>&1)
    }
    registered() { timeout 30 wine reg query "$key" </dev/null >/dev/null 2>&1; }
    first_start() {
        (cd "$inst" && timeout 120 wine ./QXLauncher.exe -serverLogin demo -serverPassword demo \
            </dev/null >/dev/null 2>&1)
    }
    uninstall() {
        # The application started by the launcher still runs: end it with the Wine server.
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wine_display_start
        timeout 60 wine "$inst/uninstall.exe" /S </dev/null >/dev/null 2>&1
        # The uninstaller returns at once and removes the files from a copy of itself.
        for _ in $(seq 300); do [ -e "$inst" ] || break; sleep 0.1; done
    }
else
    export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
    unset XDG_DATA_HOME XDG_CONFIG_HOME
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/unpacked"
    chmod 700 "$XDG_RUNTIME_DIR"
    tar -xzf "$work/out/$name-linux.tar.gz" -C "$work/unpacked"
    inst="$HOME/.local/share/$name"
    entry="$HOME/.local/share/applications/Acme-Notes.desktop"
    exe=
    busy="$work/busy"
    install_into() { # [folder]
        local folder=()
        [ $# -eq 0 ] || folder=(--prefix "$1")
        "$work/unpacked/$name/install.sh" "${folder[@]}" >/dev/null 2>&1
    }
    registered() {
        grep -qxF "Exec=\"$inst/QXLauncher\"" "$entry" && grep -qxF "Path=$inst" "$entry" &&
            grep -qxF "Icon=$inst/qxlauncher.png" "$entry" && [ -f "$inst/qxlauncher.png" ]
    }
    first_start() {
        (cd "$inst" && QXLAUNCHER_UI=scripted timeout 120 ./QXLauncher -serverLogin demo \
            -serverPassword demo </dev/null >/dev/null 2>&1)
    }
    uninstall() { "$inst/uninstall.sh" >/dev/null; }
fi

echo "== a folder holding other files is refused"
mkdir -p "$busy"
echo keep >"$busy/notes.txt"
! install_into "$busy" || fail "the install into a folder of other files went ahead"
[ "$(ls -A "$busy")" = notes.txt ] && [ "$(cat "$busy/notes.txt")" = keep ] ||
    fail "the refused install changed the folder: $(ls -A "$busy")"
! registered 2>/dev/null || fail "the refused install registered itself"

echo "== the silent install"
install_into || fail "the install failed"
for file in "QXLauncher$exe" "QXInstaller$exe" qxurl.net qxlauncher.bmp company-ca.pem; do
    [ -f "$inst/$file" ] || fail "the install did not lay down $file"
done
cmp -s "$work/splash.bmp" "$inst/qxlauncher.bmp" || fail "qxlauncher.bmp is not the splash given"
cmp -s "$work/ca.pem" "$inst/company-ca.pem" || fail "company-ca.pem is not the CA file given"
[ "$(ini_value "$inst/qxurl.net" Config URL)" = "$url" ] || fail "qxurl.net has no [Config] URL"
[ "$(ini_value "$inst/qxurl.net" Config SecurityCAFile)" = company-ca.pem ] ||
    fail "qxurl.net has no [Config] SecurityCAFile"
[ "$(ini_value "$inst/qxurl.net" QXLauncher UpdatePublicKey)" = "$(cat "$work/keys/public-key.txt")" ] ||
    fail "qxurl.net has not the site's key as [QXLauncher] UpdatePublicKey"
[ -f "$entry" ] || fail "no menu entry $entry"
registered || fail "the installation is not registered with its folder"

echo "== the first start updates to the site's version"
first_start || fail "the installed launcher ended with $?"
[ "$(cat "$inst/qxflux.version" 2>/dev/null)" = 2.0 ] || fail "the installation is not at 2.0"
[ -f "$inst/docs/guide.txt" ] || fail "docs/guide.txt of 2.0 is missing"
"$server" reports --db "$work/site/qxserver.db" | grep -q demo || fail "no update report"

echo "== the uninstall leaves nothing"
uninstall || fail "the uninstall failed"
[ ! -e "$inst" ] || fail "left behind: $(ls -A "$inst")"
[ ! -e "$entry" ] || fail "the menu entry is left behind"
! registered 2>/dev/null || fail "the uninstall key is left behind"
if [ "$target" = linux ]; then
    left="$(find "$HOME" -mindepth 1 ! -type d)"
    [ -z "$left" ] || fail "left in the home folder: $left"
fi
echo "passed"
