#!/usr/bin/env bash
# Builds the Debian packages tolvar and tolvar-service from this source tree:
#
#   bash scripts/build-packages.sh [OUT_DIR]      (default: build-deb)
#
# The build runs dpkg-buildpackage (debhelper, see debian/) on a copy of the
# tracked files in a scratch folder, so the source tree stays clean, and puts
# tolvar_VERSION_ARCH.deb, tolvar-service_VERSION_ARCH.deb and their debug
# symbol packages into OUT_DIR. Its build dependencies are in debian/control
# (scripts/setup.sh installs them). With ccache installed it is used.
# TOLVAR_CMAKE_ARGS adds CMake settings, e.g. the deployment's service address:
#   TOLVAR_CMAKE_ARGS="-DTOLVAR_SERVICE_HOST=calls.example.org" bash scripts/build-packages.sh
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$source_dir/build-deb}
mkdir -p "$out"
out=$(cd "$out" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-deb.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/tolvar"
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do if [ -e "$f" ]; then printf '%s\0' "$f"; fi; done |
    tar --null -T - -cf -) | tar -xf - -C "$scratch/tolvar"

if command -v ccache >/dev/null 2>&1; then
    CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
    CCACHE_BASEDIR=$scratch/tolvar # the scratch folder differs from run to run
    export CCACHE_BASEDIR
    export CCACHE_DIR
    TOLVAR_CMAKE_ARGS="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache ${TOLVAR_CMAKE_ARGS:-}"
fi
export TOLVAR_CMAKE_ARGS=${TOLVAR_CMAKE_ARGS:-}
export DEB_BUILD_OPTIONS="parallel=${TOLVAR_JOBS:-2} ${DEB_BUILD_OPTIONS:-}"
(cd "$scratch/tolvar" && dpkg-buildpackage -b -us -uc)

version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
for f in "$scratch"/*_"$version"_*.deb "$scratch"/*_"$version"_*.ddeb "$scratch"/*_"$version"_*.buildinfo \
         "$scratch"/*_"$version"_*.changes; do
    if [ -e "$f" ]; then mv -f "$f" "$out/"; fi
done
ls -1 "$out"/*_"$version"_*.deb
