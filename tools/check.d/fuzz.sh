#!/bin/bash
# Fuzzing with libFuzzer (preset "fuzz": clang, ASan + UBSan): builds the
# targets, replays the seed corpus (fuzz/corpus/<target>, as ctest tests),
# then gives each target a short bounded run. New inputs go to
# build/fuzz/work/<target> (kept between runs, never into the tree); a crash
# or a broken invariant leaves its input in build/fuzz/artifacts/ and fails.
#   SETUP_FUZZ_SECONDS=<n>  seconds per target (default 15)
set -uo pipefail
cd "$(dirname "$(realpath "$0")")/../.."
start=$SECONDS
seconds=${SETUP_FUZZ_SECONDS:-15}
targets=()
for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
status=0

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz || exit 1
echo "fuzz build: $((SECONDS - start)) s"

ctest --preset fuzz || status=1

mkdir -p build/fuzz/artifacts
for target in "${targets[@]}"; do
    work=build/fuzz/work/$target
    log=build/fuzz/work/$target.log
    mkdir -p "$work"
    # Per-input leak checks cost a quarter of the speed here; the corpus
    # replay above runs with them.
    if timeout $((seconds + 120)) "build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
            -timeout=10 -max_len=4096 -len_control=20 -detect_leaks=0 -print_final_stats=1 \
            -artifact_prefix="build/fuzz/artifacts/$target-" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1)
        echo "ok $target: ${runs:-?} inputs in ${seconds} s, $cov"
    else
        echo "FAIL $target: see $log"
        grep -E -A40 'invariant broken|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log" | head -60
        status=1
    fi
done

echo "fuzz: $((SECONDS - start)) s, $([[ $status == 0 ]] && echo clean || echo FAILED)"
exit $status
