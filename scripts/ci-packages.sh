#!/usr/bin/env bash
# The Debian packages as a user and an operator meet them, in one step:
#
#   1. builds tolvar and tolvar-service (scripts/build-packages.sh) and runs
#      lintian over them;
#   2. installs both with `apt-get install ./...deb` (their dependencies come
#      from the archive);
#   3. the client: `tolvar` from PATH, as an unprivileged user, under Xvfb,
#      shows its window and ends cleanly; the user's own copy of the program
#      is made, a special edition is made in it and shows at the next start;
#      a damaged file in the copy is replaced from the installed one;
#   4. the service: both unit files pass `systemd-analyze verify`; the unit's
#      ExecStart line (and the template's, for one instance) runs as the
#      system user tolvar with the packaged configuration on a free port,
#      answers, reloads on SIGHUP and stops on SIGTERM with status 0;
#   5. purges both packages (and the dependencies this run installed) and
#      checks that nothing is left but what policy keeps: the system user and
#      group tolvar, which are listed (and then removed by this script, so that
#      the machine is as it was).
#
# Needs root (CI runs as root on a throw-away machine). Uses the build folder
# of the default preset for the test's window driver (building it when
# missing): TOLVAR_BUILD_DIR overrides it. TOLVAR_DEB_DIR names a folder of
# packages built before, to test those instead of building them again.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TOLVAR_BUILD_DIR:-$source_dir/build}
[ "$(id -u)" -eq 0 ] || { echo "ci-packages: run as root" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
apt_options=(-y -q -o DPkg::Lock::Timeout=600)

work=$(mktemp -d /tmp/tolvar-ci-packages.XXXXXX)
chmod 755 "$work"
say() { printf 'ci-packages: %s\n' "$*"; }
fail() {
    printf 'ci-packages: FAILED: %s\n' "$*" >&2
    exit 1
}

# ---- what is running, and how it is all undone --------------------------------

xvfb_pid='' service_pid='' client_pid='' test_user='' tolvar_user_existed=yes installed=no
packages_before=$work/packages-before
cleanup() {
    status=$?
    set +e
    for pid in "$client_pid" "$service_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid"
            wait "$pid" 2>/dev/null
        fi
    done
    if [ "$installed" = yes ]; then
        say "undoing the installation after a failure"
        rm -f /etc/tolvar-service/ci.conf
        apt-get purge "${apt_options[@]}" tolvar tolvar-service >/dev/null 2>&1
        purge_new_dependencies >/dev/null 2>&1
    fi
    [ -n "$test_user" ] && userdel "$test_user" 2>/dev/null
    if [ "$tolvar_user_existed" = no ]; then
        userdel tolvar 2>/dev/null
        groupdel tolvar 2>/dev/null
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Packages that this run's installation brought in, purged again at the end.
purge_new_dependencies() {
    dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 ~ /^[ih]i/ { print $2 }' | sort >"$work/packages-after"
    new=$(comm -13 "$packages_before" "$work/packages-after")
    if [ -n "$new" ]; then
        # shellcheck disable=SC2086
        apt-get purge "${apt_options[@]}" $new
    fi
}

# Every file and folder the packages could touch, by name, for the comparison
# after the purge. Caches, logs and the package managers' own records change
# with any installation and are left out, and so are the user database's
# backup files, which the test's own user leaves (subuid and subgid too where
# the machine has them).
snapshot() {
    find /etc /usr /var /opt /srv /lib /lib64 /bin /sbin -xdev \
        \( -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache -o -path /var/log \
        -o -path /var/lib/systemd/deb-systemd-helper-enabled -o -path /var/lib/systemd/deb-systemd-user-helper-enabled \
        -o -path /var/lib/ucf -o -path /var/tmp -o -path /var/lib/dbus \) -prune -o -print 2>/dev/null |
        grep -v -E '(icon-theme\.cache|mimeinfo\.cache|/etc/(passwd|group|shadow|gshadow|subuid|subgid)-?$|/etc/ld\.so\.cache$|__pycache__|\.pyc$)' |
        LC_ALL=C sort
}

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# The body of GET http://127.0.0.1:PORT/PATH, or nothing.
http_get() { # $1 port, $2 path
    python3 - "$1" "$2" <<'EOF'
import sys, urllib.request
try:
    with urllib.request.urlopen("http://127.0.0.1:%s%s" % (sys.argv[1], sys.argv[2]), timeout=5) as r:
        sys.stdout.buffer.write(r.read())
except Exception as e:
    print("no answer: %s" % e, file=sys.stderr)
EOF
}

wait_for() { # $1 seconds, then a command that succeeds when the wait is over
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# ---- 1. build, lint ---------------------------------------------------------

if [ -n "${TOLVAR_DEB_DIR:-}" ]; then
    say "using the packages in $TOLVAR_DEB_DIR"
    mkdir "$work/debs"
    cp "$TOLVAR_DEB_DIR"/tolvar_*.deb "$TOLVAR_DEB_DIR"/tolvar-service_*.deb "$work/debs/"
else
    say "building the packages"
    nice bash "$source_dir/scripts/build-packages.sh" "$work/debs" >"$work/build.log" 2>&1 ||
        { tail -50 "$work/build.log"; fail "the packages did not build"; }
fi
client_deb=$(ls "$work"/debs/tolvar_*.deb)
service_deb=$(ls "$work"/debs/tolvar-service_*.deb)
say "built $(basename "$client_deb") ($(stat -c %s "$client_deb") bytes), $(basename "$service_deb") ($(stat -c %s "$service_deb") bytes)"
dpkg-deb -I "$client_deb" | grep -E '^ (Depends|Recommends):' | sed 's/^/  tolvar: /'
dpkg-deb -I "$service_deb" | grep -E '^ (Depends|Recommends):' | sed 's/^/  tolvar-service: /'
dpkg-deb -f "$client_deb" Depends | grep -q 'libqt6widgets6' || fail "the client's dependencies were not computed from its libraries"

say "lintian"
lintian --fail-on error --info "$client_deb" "$service_deb" | tee "$work/lintian.txt" || fail "lintian found errors"
[ -s "$work/lintian.txt" ] || say "lintian: no tags"

# The window driver, a test helper preloaded into the installed program.
if [ ! -f "$build_dir/build.ninja" ] && [ ! -f "$build_dir/Makefile" ]; then
    (cd "$source_dir" && cmake --preset default >/dev/null)
fi
nice cmake --build "$build_dir" --target window_driver -j2 >/dev/null
install -m 755 "$build_dir/test-helpers/window_driver.so" "$work/window_driver.so"

# ---- 2. install -------------------------------------------------------------

dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 ~ /^[ih]i/ { print $2 }' | sort >"$packages_before"
getent passwd tolvar >/dev/null || tolvar_user_existed=no
snapshot >"$work/files-before"

say "installing with apt-get install ./*.deb"
installed=yes
apt-get install "${apt_options[@]}" --no-install-recommends "$client_deb" "$service_deb" >"$work/install.log" 2>&1 ||
    { tail -30 "$work/install.log"; fail "apt-get install failed"; }
grep -E '^(Setting up|Unpacking) ' "$work/install.log" | sed 's/^/  /' | head -40

[ "$(command -v tolvar)" = /usr/bin/tolvar ] || fail "tolvar is not on PATH"
desktop-file-validate /usr/share/applications/tolvar.desktop || fail "the installed menu entry is not valid"
appstreamcli validate --no-net /usr/share/metainfo/org.tolvar.tolvar.metainfo.xml || fail "the metainfo is not valid"
for page in 1:tolvar 8:tolvar-service; do
    man -w "${page%%:*}" "${page#*:}" >/dev/null || fail "no man page ${page#*:}(${page%%:*})"
    [ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings "${page%%:*}" "${page#*:}" 2>&1 >/dev/null)" ] ||
        fail "the man page ${page#*:} has warnings"
done
[ -f /usr/share/icons/hicolor/48x48/apps/tolvar.png ] || fail "no icon in the hicolor theme"

# ---- 3. the client, as a user -----------------------------------------------

test_user=tolvar-ci-$$
home=$work/home
useradd --no-create-home --home-dir "$home" --shell /bin/sh --user-group "$test_user"
mkdir -p "$home/run"
chmod 700 "$home/run"
chown -R "$test_user:" "$home"
copy=$home/.local/share/tolvar-copy

display=''
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=:$n; break; fi
done
[ -n "$display" ] || fail "no free X display number"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 10 xdpyinfo -display "$display" >/dev/null 2>&1 || fail "Xvfb did not start"

# Runs a command as the test user, with PATH as a desktop session has it. It
# replaces the shell it runs in (call it in a subshell, or in the background),
# so the process started is the program itself, to be signalled by its id.
as_user() {
    exec setpriv --reuid="$test_user" --regid="$test_user" --init-groups -- env -i HOME="$home" USER="$test_user" PATH=/usr/local/bin:/usr/bin:/bin \
        DISPLAY="$display" XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 "$@"
}
window_shown() { xwininfo -display "$display" -root -tree 2>/dev/null | grep -q 'Tolvar V 1.5'; }

say "the client from PATH under Xvfb"
as_user tolvar >"$work/client.log" 2>&1 &
client_pid=$!
wait_for 30 window_shown || { cat "$work/client.log"; fail "tolvar showed no window"; }
xwininfo -display "$display" -root -tree | grep 'Tolvar V 1.5' | sed 's/^ */  window: /'
kill -TERM "$client_pid"
client_status=0
wait "$client_pid" || client_status=$?
client_pid=''
[ "$client_status" -eq 0 ] || { cat "$work/client.log"; fail "tolvar ended with status $client_status"; }
[ -x "$copy/tolvar" ] || fail "no copy of the program in $copy"
for f in /usr/lib/tolvar/*; do
    cmp -s "$f" "$copy/${f##*/}" || fail "the copy of ${f##*/} differs from the installed one"
done
[ "$(stat -c %U "$copy/tolvar")" = "$test_user" ] || fail "the copy does not belong to the user"
say "  the window showed; the user's copy is $copy"

drive() { # $1: what the driver does; the rest: more environment
    local mode=$1
    shift
    rm -f "$work/driver.out"
    touch "$work/driver.out"
    chown "$test_user" "$work/driver.out"
    (as_user LD_PRELOAD="$work/window_driver.so" TOLVAR_DRIVER="$mode" TOLVAR_DRIVER_OUT="$work/driver.out" "$@" \
        timeout 60 tolvar) >>"$work/client.log" 2>&1 || { cat "$work/client.log"; fail "tolvar ($mode) did not end cleanly"; }
    grep -q '^done=yes$' "$work/driver.out" || { cat "$work/driver.out" "$work/client.log"; fail "the driver did not finish"; }
}

say "a special edition made by the user"
drive edition TOLVAR_DRIVER_NUMBER=13912345678 TOLVAR_DRIVER_OWNER=小明
sed 's/^/  /' "$work/driver.out"
grep -qx 'owner_number=13912345678' "$work/driver.out" || fail "page ④ did not take the login number"
grep -qx 'box=专版程序！！制作完成！！请将本目录下所有程序压缩打包！发给您的好朋友！' "$work/driver.out" ||
    fail "the special edition was not reported made"
printf '13912345678\r\n\xd0\xa1\xc3\xf7\r\n' | cmp -s - "$copy/connig.ini" || fail "the copy's connig.ini is not the edition's"
[ -f "$copy/ad/2.html" ] && [ -f "$copy/ad/4.html" ] || fail "the advertising pages were not written into the copy"
[ "$(find /usr/lib/tolvar | LC_ALL=C sort)" = "$(dpkg -L tolvar | grep '^/usr/lib/tolvar' | LC_ALL=C sort)" ] ||
    fail "the installed folder holds files the package did not put there"

# The next start shows the edition, and a damaged file of the copy is put right.
printf 'damaged' >"$copy/44.she"
drive look
grep -qx 'title=Tolvar V 1.5版 每周领取15分钟  无限发短信 ★注★：小明' "$work/driver.out" ||
    { cat "$work/driver.out"; fail "the next start does not show the special edition"; }
cmp -s /usr/lib/tolvar/44.she "$copy/44.she" || fail "the damaged skin in the copy was not replaced"
say "  the next start shows: $(sed -n 's/^title=//p' "$work/driver.out")"
kill -TERM "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=''

# ---- 4. the service, as the operator's systemd would run it ----------------

say "systemd-analyze verify"
for unit in tolvar-service.service tolvar-service@.service; do
    systemd-analyze verify "/lib/systemd/system/$unit" || fail "$unit does not verify"
done
systemd-analyze security --offline=yes /lib/systemd/system/tolvar-service.service | tail -1 | sed 's/^/  /'

getent passwd tolvar >/dev/null || fail "no system user tolvar"
[ "$(stat -c '%U:%G %a' /var/lib/tolvar-service)" = "tolvar:tolvar 700" ] ||
    fail "/var/lib/tolvar-service is $(stat -c '%U:%G %a' /var/lib/tolvar-service)"
[ -f /etc/tolvar-service/tolvar-service.conf ] || fail "no configuration file"
[ -f /usr/share/tolvar-service/nginx/tolvar-service.conf ] || fail "no nginx site file"
dpkg-query -W -f='${Conffiles}\n' tolvar-service | grep -q /etc/tolvar-service/tolvar-service.conf ||
    fail "the configuration file is not a conffile"

# Runs an ExecStart line as the unit's user, with more options after it; the
# process started is the service itself (setpriv executes it), to be
# signalled by its id.
start_service() { # $1 unit file, $2 instance name (or ""), the rest: extra options
    local unit=$1 instance=$2
    shift 2
    local line
    line=$(sed -n 's/^ExecStart=//p' "$unit")
    line=${line//%i/$instance}
    [ "$(sed -n 's/^User=//p' "$unit")" = tolvar ] || fail "$unit does not run as tolvar"
    # shellcheck disable=SC2086
    setpriv --reuid=tolvar --regid=tolvar --init-groups -- $line "$@" >"$work/service.log" 2>&1 &
    service_pid=$!
}
answers() { http_get "$1" /ip.php 2>/dev/null | grep -q '<h2>127.0.0.1</h2>'; }
stop_service() {
    kill -TERM "$service_pid"
    local status=0
    wait "$service_pid" || status=$?
    service_pid=''
    [ "$status" -eq 0 ] || { cat "$work/service.log"; fail "the service ended with status $status on SIGTERM"; }
}

say "the service's ExecStart as user tolvar on a free port"
port=$(free_port)
start_service /lib/systemd/system/tolvar-service.service '' --listen "127.0.0.1:$port"
wait_for 20 answers "$port" || { cat "$work/service.log"; fail "the service does not answer on port $port"; }
[ "$(stat -c %U /var/lib/tolvar-service/tolvar.db)" = tolvar ] || fail "the database is not in /var/lib/tolvar-service"
kill -HUP "$service_pid"
sleep 1
kill -0 "$service_pid" 2>/dev/null || { cat "$work/service.log"; fail "the service died on SIGHUP (reload)"; }
answers "$port" || fail "the service does not answer after a reload"
stop_service
sed 's/^/  log: /' "$work/service.log"
runuser -u tolvar -- /usr/sbin/tolvar-service --config /etc/tolvar-service/tolvar-service.conf members >/dev/null ||
    fail "the admin command does not run as tolvar with the packaged configuration"

say "the template unit, instance ci"
port=$(free_port)
sed "s/^listen = .*/listen = 127.0.0.1:$port/" /etc/tolvar-service/tolvar-service.conf >/etc/tolvar-service/ci.conf
start_service "/lib/systemd/system/tolvar-service@.service" ci
wait_for 20 answers "$port" || { cat "$work/service.log"; fail "instance ci does not answer on port $port"; }
stop_service
rm -f /etc/tolvar-service/ci.conf

# ---- 5. purge ---------------------------------------------------------------

say "purging"
userdel "$test_user"
test_user=''
apt-get purge "${apt_options[@]}" tolvar tolvar-service >"$work/purge.log" 2>&1 ||
    { cat "$work/purge.log"; fail "apt-get purge failed"; }
purge_new_dependencies >>"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "purging the new dependencies failed"; }
installed=no
for path in /usr/bin/tolvar /usr/lib/tolvar /usr/sbin/tolvar-service /etc/tolvar-service /var/lib/tolvar-service \
    /lib/systemd/system/tolvar-service.service /lib/systemd/system/tolvar-service@.service \
    /etc/systemd/system/multi-user.target.wants/tolvar-service.service \
    /usr/share/applications/tolvar.desktop /usr/share/metainfo/org.tolvar.tolvar.metainfo.xml \
    /usr/share/doc/tolvar /usr/share/doc/tolvar-service /usr/share/tolvar-service; do
    [ ! -e "$path" ] || fail "$path is still there after the purge"
done
snapshot >"$work/files-after"
if ! diff "$work/files-before" "$work/files-after" >"$work/files.diff"; then
    cat "$work/files.diff"
    fail "the purge left files behind (or took some away)"
fi
say "kept by policy after the purge:"
getent passwd tolvar | sed 's/^/  user:  /'
getent group tolvar | sed 's/^/  group: /'
say "installed, started and purged as expected"
