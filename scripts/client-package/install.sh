#!/bin/sh
# Installs @NAME@ for this user: the launcher, its installer and the site's settings in one
# folder (by default ~/.local/share/@NAME@), a menu entry that starts the launcher there, and
# uninstall.sh in that folder, which removes both again.
#   ./install.sh [--prefix DIR]
set -eu
name='@NAME@'
here=$(cd "$(dirname "$0")" && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}
prefix=$data/$name

fail() {
    printf 'install.sh: %s\n' "$*" >&2
    exit 1
}
usage() {
    echo "usage: $0 [--prefix DIR]" >&2
    exit 2
}
while [ $# -gt 0 ]; do
    case $1 in
    --prefix) [ $# -ge 2 ] && [ -n "$2" ] || usage; prefix=$2; shift 2 ;;
    --prefix=?*) prefix=${1#--prefix=}; shift ;;
    *) usage ;;
    esac
done
case $prefix in /*) ;; *) prefix=$(pwd)/$prefix ;; esac
# The menu entry's command line holds the folder in double quotes.
case $prefix in
*[\"\`\$\\%]* | *'
'*) fail "the folder may not contain \" \` \$ \\ % or a line break: $prefix" ;;
esac
# uninstall.sh removes the whole folder, with the application the launcher fetched into it.
if [ -d "$prefix" ] && [ -n "$(ls -A "$prefix")" ] &&
    ! { [ -f "$prefix/uninstall.sh" ] && [ -f "$prefix/QXLauncher" ]; }; then
    fail "$prefix holds other files: choose a new or empty folder (--prefix DIR)"
fi

mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd -P)
# The launcher hands every update to QXInstaller, which must lie beside it.
for program in QXLauncher QXInstaller; do
    cp "$here/$program" "$prefix/$program.new"
    chmod 0755 "$prefix/$program.new"
    mv -f "$prefix/$program.new" "$prefix/$program"
done
for file in qxurl.net qxlauncher.png qxlauncher.bmp company-ca.pem; do
    [ ! -f "$here/$file" ] || cp "$here/$file" "$prefix/$file"
done

# Started in its folder: the launcher takes the splash picture from its current directory.
applications=$data/applications
entry=$applications/@ENTRY_ID@.desktop
mkdir -p "$applications"
cat >"$entry.new" <<ENTRY
[Desktop Entry]
Type=Application
Name=$name
Comment=Brings $name up to date and starts it
Exec="$prefix/QXLauncher"
Path=$prefix
Icon=$prefix/qxlauncher.png
Terminal=false
Categories=Office;
ENTRY
mv -f "$entry.new" "$entry"

# The paths are quoted for the shell: ' stands as '\''.
quoted() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
{
    echo '#!/bin/sh'
    echo "# Removes $name: its menu entry and this folder, with the application in it."
    echo 'set -eu'
    echo "entry=$(quoted "$entry")"
    echo "folder=$(quoted "$prefix")"
    cat <<'UNINSTALL'
[ -f "$folder/QXLauncher" ] || { echo "uninstall.sh: $folder is not this installation" >&2; exit 1; }
# A later installation elsewhere may have taken the menu entry over: it stays then.
if [ -f "$entry" ] && grep -qxF "Path=$folder" "$entry"; then
    rm -f "$entry"
fi
cd /
rm -rf -- "$folder"
echo "Removed $folder"
UNINSTALL
} >"$prefix/uninstall.sh"
chmod 0755 "$prefix/uninstall.sh"

echo "$name is installed in $prefix; the menu entry is $entry."
echo "Remove it with $prefix/uninstall.sh"
