#!/bin/sh
# A throw-away PostgreSQL cluster for one test run: initdb into a fresh
# temporary folder, its Unix socket in that folder and no TCP port at all, run
# as an unprivileged user (postgres when this script runs as root, since
# initdb refuses root). The folder STATE receives "address", a connection URI
# of the cluster's maintenance database, and "folder", where the cluster is.
#   postgres_cluster.sh start STATE    stops a cluster left by an earlier run first
#   postgres_cluster.sh stop STATE
set -eu
action=${1:?start or stop}
state=${2:?the state folder}
cd /  # the postgres user may not enter the caller's folder

bindir=
for d in /usr/lib/postgresql/*/bin; do
    if [ -x "$d/initdb" ]; then bindir=$d; fi
done
if [ -z "$bindir" ]; then
    if ! initdb=$(command -v initdb); then
        echo "postgres_cluster.sh: PostgreSQL's initdb is not installed (scripts/setup.sh installs it)" >&2
        exit 1
    fi
    bindir=$(dirname "$initdb")
fi

as_owner() {
    if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop_cluster() {
    [ -f "$state/folder" ] || return 0
    folder=$(cat "$state/folder")
    case "$folder" in
    */tolvar-postgres-*) ;;
    *) echo "postgres_cluster.sh: $state/folder names no cluster of ours: $folder" >&2; exit 1 ;;
    esac
    if [ -f "$folder/data/postmaster.pid" ]; then
        as_owner "$bindir/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$folder"
    rm -f "$state/folder" "$state/address"
}

start_cluster() {
    stop_cluster
    mkdir -p "$state"
    folder=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-postgres-XXXXXX")
    chmod 700 "$folder"
    if [ "$(id -u)" = 0 ]; then chown postgres: "$folder"; fi
    echo "$folder" >"$state/folder"
    if ! as_owner "$bindir/initdb" -D "$folder/data" -U tolvar -A trust -E UTF8 --locale=C --no-sync \
        --no-instructions >"$folder/initdb.log" 2>&1; then
        cat "$folder/initdb.log" >&2
        exit 1
    fi
    # Speed over durability: the cluster lives for one test run.
    if ! as_owner "$bindir/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
        -o "-k $folder -c listen_addresses='' -c max_connections=200 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null; then
        cat "$folder/server.log" >&2
        exit 1
    fi
    echo "postgresql:///postgres?host=$folder&user=tolvar" >"$state/address"
}

case "$action" in
start) start_cluster ;;
stop) stop_cluster ;;
*) echo "postgres_cluster.sh: start or stop, not $action" >&2; exit 2 ;;
esac
