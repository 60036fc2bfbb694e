#!/bin/sh
# The portable archive as a new user meets it: made by cpack, unpacked, run
# where it was unpacked, installed for the user twice (the second run changes
# nothing), validated, and uninstalled without touching the user's own files.
#   package_test.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

cd "$work"
cpack --config "$build/CPackConfig.cmake" >/dev/null
archive=$(ls tolvar-*-linux-x86_64.tar.gz) || fail "no archive"
tar xzf "$archive"
folder=$work/${archive%.tar.gz}
for f in tolvar krnln.fnr wininet.so kernel32.so user32.so skinh_el.so vbscript.so 44.she 使用帮助.html \
         install-desktop.sh tolvar.desktop.in icons/hicolor/128x128/apps/tolvar.png; do
    [ -e "$folder/$f" ] || fail "the archive lacks $f"
done

# The unpacked program runs from its folder and ends through its clean-up.
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data "$folder/tolvar" &
pid=$!
sleep 2
kill -TERM "$pid"
wait "$pid" || fail "the unpacked program did not end with status 0"

export HOME=$work/home XDG_DATA_HOME=$work/home/share
mkdir -p "$HOME"
sh "$folder/install-desktop.sh" >/dev/null
entry=$XDG_DATA_HOME/applications/tolvar.desktop
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
grep -q '^Categories=Network;Telephony;' "$entry" || fail "no categories"
grep -q '^Name\[zh_CN\]=' "$entry" || fail "no Chinese name"
[ -f "$XDG_DATA_HOME/icons/hicolor/48x48/apps/tolvar.png" ] || fail "no icon in the theme"
before=$(find "$XDG_DATA_HOME" -type f -exec md5sum {} + | sort)
sh "$folder/install-desktop.sh" >/dev/null
after=$(find "$XDG_DATA_HOME" -type f -exec md5sum {} + | sort)
[ "$before" = "$after" ] || fail "a second install changed files"

# The program's own files in the installed folder survive an uninstall.
installed=$XDG_DATA_HOME/tolvar
printf '13800000001\r\nowner\r\n' > "$installed/connig.ini"
printf '13800000002,123456\r\n' > "$installed/hao.txt"
sh "$installed/install-desktop.sh" --uninstall >/dev/null
[ -f "$installed/connig.ini" ] && [ -f "$installed/hao.txt" ] || fail "uninstall removed the user's files"
[ ! -e "$entry" ] || fail "uninstall left the menu entry"
[ ! -e "$installed/tolvar" ] || fail "uninstall left the program"
echo "package test: archive, install, reinstall and uninstall as expected"
