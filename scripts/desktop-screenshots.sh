#!/usr/bin/env bash
# Screenshots of the window as desktop users get it: desktop fonts of 9, 10
# and 11 pt, a light and a dark palette (given the way a desktop gives them,
# through the qt6ct platform theme), with and without the skin; each run
# shows the four pages in turn (Ctrl+Tab) under a private Xvfb.
#   scripts/desktop-screenshots.sh OUTPUT_FOLDER [POINTS...]
# Needs a built tree (build/bin), Xvfb, xdotool, ImageMagick's import and qt6ct.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="$root/build/bin"
out="${1:?usage: desktop-screenshots.sh OUTPUT_FOLDER [POINTS...]}"
shift
points=("${@:-9 10 11}")
read -r -a points <<<"${points[*]}"
mkdir -p "$out"
work="$(mktemp -d)"

display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "desktop-screenshots.sh: no free display number" >&2; exit 1; }

xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

# A qt6ct configuration: the desktop's font at `points`, its palette light or dark.
theme() {
  local folder="$1" points="$2" palette="$3"
  mkdir -p "$folder/qt6ct"
  {
    echo "[Appearance]"
    echo "style=Fusion"
    if [ "$palette" = dark ]; then
      echo "custom_palette=true"
      echo "color_scheme_path=/usr/share/qt6ct/colors/darker.conf"
    else
      echo "custom_palette=false"
    fi
    echo "[Fonts]"
    echo "general=\"DejaVu Sans,$points,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\""
    echo "fixed=\"DejaVu Sans Mono,$points,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\""
  } >"$folder/qt6ct/qt6ct.conf"
}

for pt in "${points[@]}"; do
  for palette in light dark; do
    for skin in skin plain; do
      name="${pt}pt-$palette-$skin"
      folder="$work/$name"
      mkdir -p "$folder/program"
      cp "$bin"/tolvar "$bin"/krnln.fnr "$bin"/*.so "$folder/program/"
      [ "$skin" = skin ] && cp "$bin/44.she" "$folder/program/"
      printf '13912345678,1\r\n13800001111,2\r\n13700002222,3\r\n' >"$folder/program/hao.txt"
      theme "$folder/config" "$pt" "$palette"
      DISPLAY="$display" QT_QPA_PLATFORMTHEME=qt6ct XDG_CONFIG_HOME="$folder/config" \
        XDG_RUNTIME_DIR="$folder" "$folder/program/tolvar" >"$folder/log" 2>&1 &
      program_pid=$!
      DISPLAY="$display" timeout 20 xdotool search --sync --onlyvisible --name "Tolvar" >/dev/null || echo "$name: no window" >&2
      sleep 1
      for page in 1 2 3 4; do
        DISPLAY="$display" import -window root "$out/$name-page$page.png"
        DISPLAY="$display" xdotool key ctrl+Tab
        sleep 0.7
      done
      kill "$program_pid" 2>/dev/null
      wait "$program_pid" 2>/dev/null || true
      program_pid=""
    done
  done
done
echo "desktop-screenshots.sh: $(ls "$out" | wc -l) screenshots in $out"
