#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (the
# "asan" preset) and runs every test there. A sanitizer report ends its test
# with a failure: UBSan halts on its first report, LeakSanitizer reports leaks
# at exit (fontconfig's cache is suppressed: tests/sanitizers/).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset asan "${launcher[@]}" > /dev/null
nice cmake --build --preset asan -j2
ctest --preset asan
