#!/usr/bin/env bash
# Start to window mapped, as whole processes: Tolvar against the bare Qt window
# with the same controls (bench/bare_window.cpp), in turns on a display of its
# own (Xvfb). Prints the medians of the CPU time the process used from its
# start to its window mapped (judged: 1.15 times the floor at most), of the
# wall time to the map (shown), and of the resident memory once the window
# shows (judged: 3 MiB more at most); exits 1 beyond a bound.
#   bash bench/startup.sh [BUILD_DIR [RUNS]]
set -euo pipefail
build=${1:-build}
runs=${2:-21}
bin=$build/bin
for program in "$bin/tolvar" "$bin/bare_window" "$bin/map_watch"; do
  [ -x "$program" ] || { echo "startup.sh: $program is missing (build the default preset)" >&2; exit 2; }
done

number=$((80 + RANDOM % 19))
while [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done
Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
scratch=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$scratch"' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.05; done
chmod 700 "$scratch"
export DISPLAY=":$number" XDG_CONFIG_HOME="$scratch" XDG_DATA_HOME="$scratch" XDG_RUNTIME_DIR="$scratch"

measure() {  # PROGRAM -> "cpu_ms rss_kib map_ms"
  { "$bin/map_watch" "$1" 2>/dev/null || true; } |
    sed -n 's/^map_ms=\([0-9.]*\) cpu_ms=\([0-9.]*\) rss_kib=\([0-9]*\)$/\2 \3 \1/p'
}
median() { grep . | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

measure "$bin/bare_window" >/dev/null  # warm the caches once
measure "$bin/tolvar" >/dev/null
: > "$scratch/bare"
: > "$scratch/tolvar"
for _ in $(seq "$runs"); do
  measure "$bin/bare_window" >> "$scratch/bare"
  measure "$bin/tolvar" >> "$scratch/tolvar"
done

bare_ms=$(cut -d' ' -f1 "$scratch/bare" | median)
tolvar_ms=$(cut -d' ' -f1 "$scratch/tolvar" | median)
bare_kib=$(cut -d' ' -f2 "$scratch/bare" | median)
tolvar_kib=$(cut -d' ' -f2 "$scratch/tolvar" | median)
bare_wall=$(cut -d' ' -f3 "$scratch/bare" | median)
tolvar_wall=$(cut -d' ' -f3 "$scratch/tolvar" | median)
awk -v t="$tolvar_ms" -v b="$bare_ms" -v tk="$tolvar_kib" -v bk="$bare_kib" -v n="$runs" \
    -v tw="$tolvar_wall" -v bw="$bare_wall" 'BEGIN {
  ratio = t / b; more = (tk - bk) / 1024
  printf "start to window mapped, CPU time (median of %d)  tolvar %.2f ms  bare Qt window %.2f ms  ratio %.3f  bound 1.15 %s\n",
         n, t, b, ratio, ratio <= 1.15 ? "ok" : "BEYOND THE BOUND"
  printf "start to window mapped, wall time                tolvar %.2f ms  bare Qt window %.2f ms  ratio %.3f\n",
         tw, bw, tw / bw
  printf "memory when the window shows          tolvar %.1f MiB  bare Qt window %.1f MiB  more %.2f MiB  bound 3 %s\n",
         tk / 1024, bk / 1024, more, more <= 3 ? "ok" : "BEYOND THE BOUND"
  exit (ratio <= 1.15 && more <= 3) ? 0 : 1
}'
