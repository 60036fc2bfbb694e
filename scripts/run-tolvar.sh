#!/usr/bin/env bash
# Runs Tolvar with its service: starts build/bin/tolvar-service in the
# background when nothing answers on the service's address, then the client
# build/bin/tolvar; the service this script started stops when the client
# exits. Voice codes (and calls, messages) appear on this terminal and in the
# service's log file.
#   scripts/run-tolvar.sh            (TOLVAR_SERVICE_LISTEN=ADDRESS:PORT to change the address)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="$root/build/bin"
listen="${TOLVAR_SERVICE_LISTEN:-127.0.0.1:8086}"
host="${listen%:*}"
port="${listen##*:}"
data="${XDG_DATA_HOME:-$HOME/.local/share}/tolvar-service"
log="$data/service.log"

answers() { (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null; }

for program in tolvar tolvar-service; do
  if [ ! -x "$bin/$program" ]; then
    echo "run-tolvar.sh: $bin/$program is missing; build first: cmake --preset default && cmake --build --preset default" >&2
    exit 1
  fi
done

service_pid=""
stop_service() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null
    wait "$service_pid" 2>/dev/null
    service_pid=""
  fi
}
trap stop_service EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if answers; then
  echo "run-tolvar.sh: a service already answers on $listen; using it" >&2
else
  mkdir -p "$data"
  # The service gets SIGTERM should this script be killed outright (no trap
  # runs then), so it does not outlive the client it was started for.
  with_parent=()
  if setpriv --help 2>/dev/null | grep -q -- --pdeathsig; then with_parent=(setpriv --pdeathsig TERM); fi
  "${with_parent[@]}" "$bin/tolvar-service" --listen "$listen" --log "$log" &
  service_pid=$!
  for _ in $(seq 100); do
    answers && break
    if ! kill -0 "$service_pid" 2>/dev/null; then
      echo "run-tolvar.sh: tolvar-service did not start" >&2
      service_pid=""
      exit 1
    fi
    sleep 0.05
  done
  echo "run-tolvar.sh: tolvar-service on $listen; voice codes are shown here and kept in $log" >&2
fi

"$bin/tolvar" "$@"
status=$?
exit "$status"
