#!/bin/sh
# The starter of the system installation (/usr/bin/tolvar): a user runs a copy
# of the installed program folder of their own, made at the first start,
# brought up to date from the installed files at each start without touching
# the files the program wrote there; without a usable data folder the
# installed program runs as it is.
#   starter_test.sh SOURCE_DIR BUILD_DIR
set -eu
src=$1
build=$2
work=$(mktemp -d)
pid=''
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
    echo "starter test: $*" >&2
    exit 1
}

installed=$work/usr/lib/tolvar
mkdir -p "$installed"
for f in tolvar krnln.fnr wininet.so kernel32.so user32.so skinh_el.so vbscript.so 44.she 使用帮助.html; do
    cp "$build/bin/$f" "$installed/"
done
sed -e "s#@TOLVAR_PROGRAM_FOLDER@#$installed#" -e 's/@PROJECT_VERSION@/1.5/' \
    "$src/packaging/tolvar.sh.in" >"$work/tolvar"
chmod 755 "$work/tolvar"
export QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
copy=$work/data/tolvar-copy

# Starts the starter, waits until the program runs, notes which executable
# that is, and ends it.
running_exe=''
start() { # the command that starts the starter (default: the starter itself)
    [ $# -gt 0 ] || set -- "$work/tolvar"
    "$@" 2>"$work/stderr" &
    pid=$!
    running_exe=''
    tries=0
    while [ $tries -lt 300 ]; do
        exe=$(readlink "/proc/$pid/exe" 2>/dev/null || true)
        case $exe in */tolvar) running_exe=$exe; break ;; esac
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
        tries=$((tries + 1))
    done
    sleep 1
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
    pid=''
}

# The first start makes the copy and runs the program from it.
start
[ "$running_exe" = "$copy/tolvar" ] || fail "the program ran as '$running_exe', not from the copy"
for f in "$installed"/*; do
    cmp -s "$f" "$copy/${f##*/}" || fail "the copy of ${f##*/} differs"
done
[ -x "$copy/tolvar" ] || fail "the copy of the program is not executable"

# An upgraded installed file is copied again; a damaged executable bit is put
# right; the files the program wrote in the copy stay as they are.
printf '13800000001\r\nowner\r\n' >"$copy/connig.ini"
printf '13800000002,1\r\n' >"$copy/hao.txt"
mkdir -p "$copy/ad"
printf 'page' >"$copy/ad/2.html"
printf '/* upgraded */\n' >>"$installed/44.she"
chmod 644 "$copy/tolvar"
start
[ "$running_exe" = "$copy/tolvar" ] || fail "the second start ran '$running_exe'"
cmp -s "$installed/44.she" "$copy/44.she" || fail "the upgraded skin was not copied again"
[ "$(printf '13800000001\r\nowner\r\nx')" = "$(cat "$copy/connig.ini"; printf x)" ] || fail "the edition's settings changed"
[ "$(cat "$copy/hao.txt")" = "$(printf '13800000002,1\r')" ] || fail "the friend file changed"
[ "$(cat "$copy/ad/2.html")" = page ] || fail "the program's page changed"
[ -z "$(find "$copy" -name '*.tolvar-new.*')" ] || fail "work files left in the copy"

# No folder for a copy: the installed program runs, and says what it cannot keep.
printf 'not a folder' >"$work/file"
start env XDG_DATA_HOME="$work/file/data" "$work/tolvar"
[ "$running_exe" = "$installed/tolvar" ] || fail "without a data folder the program ran as '$running_exe'"
grep -q 'cannot make your copy' "$work/stderr" || fail "no word of the missing copy: $(cat "$work/stderr")"
start env -u HOME XDG_DATA_HOME=relative "$work/tolvar"
[ "$running_exe" = "$installed/tolvar" ] || fail "without HOME the program ran as '$running_exe'"
grep -q 'neither XDG_DATA_HOME nor HOME' "$work/stderr" || fail "no word of the missing HOME: $(cat "$work/stderr")"

# --help answers without starting the window.
"$work/tolvar" --help | grep -q 'tolvar-copy' || fail "--help says nothing of the copy"
echo "starter test: copy made, kept up to date, the program's files kept, fallbacks as expected"
