#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset) and runs each one for a
# bounded time over its seed corpus (tests/fuzz/corpus/<target>), one after
# the other. Prints the executions and crashes of each target; any crash, leak,
# time-out or memory blow-up fails the run.
#
#   FUZZ_SECONDS=600 bash scripts/ci-fuzz.sh        # the 10-minute run of every target
#   bash scripts/ci-fuzz.sh url friend_page         # only these targets
#
# FUZZ_SECONDS (default 20) is the time per target. The corpus each target
# grows is kept in build-fuzz/corpus/<target>, so later runs go on from it;
# an input that fails is written to build-fuzz/artifacts/<target>/.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-20}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(image_reader url reply_headers cookie_store cookie_file settings_file friend_file friend_page captcha_picture service_form)
fi

if [ -z "${FUZZ_SKIP_BUILD:-}" ]; then
    launcher=()
    if command -v ccache > /dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake --preset fuzz "${launcher[@]}" > /dev/null || exit 1
    nice cmake --build --preset fuzz -j2 || exit 1
fi
bin=${FUZZ_BIN:-build-fuzz/bin}

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

passed=0
failed=0
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    artifacts=build-fuzz/artifacts/$target
    log=build-fuzz/artifacts/$target.log
    mkdir -p "$corpus" "$artifacts"
    if [ -d "tests/fuzz/corpus/$target" ]; then cp -n tests/fuzz/corpus/"$target"/* "$corpus"/; fi
    # The image reader starts from the program's own image when a build made one.
    if [ "$target" = image_reader ] && [ -f build/program.img ]; then cp -n build/program.img "$corpus"/; fi
    touch "$log.start"
    nice "$bin/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" > "$log" 2>&1
    status=$?
    executions=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    crashes=$(find "$artifacts" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) -newer "$log.start" 2> /dev/null | wc -l)
    if [ $status -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
    echo "$target: ${executions:-0} executions, $crashes crashes in ${seconds} s (corpus: $(ls "$corpus" | wc -l) inputs)"
    if [ $status -ne 0 ]; then
        failed=$((failed + 1))
        grep -E 'ERROR|does not hold|runtime error|SUMMARY|Test unit written' "$log" | head -20
    else
        passed=$((passed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
