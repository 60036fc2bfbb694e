#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tolvar needs.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  g++ cmake ninja-build pkg-config \
  qt6-base-dev qt6-base-private-dev libgl-dev \
  libcurl4-openssl-dev libicu-dev libpcre2-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  clang libclang-rt-14-dev \
  fonts-wqy-microhei qt6-translations-l10n xdg-utils xvfb xauth imagemagick qt6ct xdotool \
  python3 nodejs x11-utils opencc \
  librsvg2-bin desktop-file-utils \
  libmicrohttpd-dev libsqlite3-dev libgd-dev \
  libpq-dev postgresql nginx \
  debhelper lintian appstream systemd man-db
