#!/bin/bash
# Runs every end-to-end test again and again, to show that none fails without
# a fault: the native program (X11, Wayland on weston and on sway), the
# screen reader, the install and the command line, and velmora-config.exe
# under Wine, both builds.
#
#   tools/soak.sh [--busy] [--tests REGEX] RUNS
#
#   --busy    keep one core busy the whole time, as a loaded CI machine does
#   --tests   only the tests whose "preset/name" matches REGEX
#
# Builds what it runs first (installing what is missing). Prints, per test,
# how many runs passed, failed and were skipped, and the first failure line
# of each failed run; exits 1 if any run failed. The logs of failed runs stay
# in build/soak.
set -uo pipefail
cd "$(dirname "$0")/.."
busy=0
only=.
while [[ ${1:-} == --* ]]; do
    case $1 in
    --busy) busy=1; shift ;;
    --tests) only=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
runs=${1:-}
[[ $runs =~ ^[1-9][0-9]*$ && $# == 1 ]] || { sed -n '7,10p' "$0" | sed 's/^# *//' >&2; exit 2; }

source tools/deps.sh
install_missing_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" || exit 1
set +e  # deps.sh's -e: a failed run is counted, not the end
tests=(native/e2e_native_program native/e2e_native_sway native/e2e_native_screen_reader
       native/e2e_native_install native/e2e_native_command_line windows-x64/setup_e2e windows-x86/setup_e2e)
mapfile -t tests < <(printf '%s\n' "${tests[@]}" | grep -E -- "$only")
((${#tests[@]})) || { echo "soak: no test matches $only" >&2; exit 2; }
for preset in $(printf '%s\n' "${tests[@]%%/*}" | sort -u); do
    echo "=== soak: building $preset"
    { cmake --preset "$preset" && cmake --build --preset "$preset"; } >/dev/null || {
        echo "soak: the $preset build failed" >&2
        exit 1
    }
done

logs=build/soak
rm -rf "$logs" && mkdir -p "$logs"
loop=
if ((busy)); then
    bash -c 'while :; do :; done' &
    loop=$!
fi
trap '[[ -n $loop ]] && kill $loop 2>/dev/null' EXIT

declare -A passed failed skipped
failures=()
start=$SECONDS
for ((run = 1; run <= runs; run++)); do
    for test in "${tests[@]}"; do
        preset=${test%%/*} name=${test#*/} log=$logs/$run-${test//\//-}.log
        # The native tests meet a display as check.sh gives them one.
        display=()
        [[ $preset == native ]] && display=(tools/virtual-display.sh --)
        "${display[@]}" ctest --preset "$preset" -R "^$name\$" --output-on-failure >"$log" 2>&1
        if grep -q '100% tests passed' "$log" && grep -qE '\*\*\*Skipped|Not Run' "$log"; then
            skipped[$test]=$((${skipped[$test]:-0} + 1))
            rm -f "$log"
        elif grep -q '100% tests passed' "$log"; then
            passed[$test]=$((${passed[$test]:-0} + 1))
            rm -f "$log"
        else
            failed[$test]=$((${failed[$test]:-0} + 1))
            # The first line a test wrote about a failure, else ctest's own.
            line=$(grep -m1 -E '^(FAIL|  FAILED|Traceback|AssertionError|not ok)' "$log" ||
                   grep -m1 -E '\*\*\*(Failed|Timeout|Exception)' "$log")
            failures+=("run $run, $test: ${line:-see $log}")
        fi
    done
    echo "=== soak: run $run of $runs done ($((SECONDS - start)) s)"
done

echo "=== soak: $runs runs$( ((busy)) && echo ", one core kept busy") in $((SECONDS - start)) s"
total_passed=0 total_failed=0 total_skipped=0
for test in "${tests[@]}"; do
    p=${passed[$test]:-0} f=${failed[$test]:-0} s=${skipped[$test]:-0}
    printf '%-32s %3d passed, %3d failed, %3d skipped\n' "$test" "$p" "$f" "$s"
    total_passed=$((total_passed + p)) total_failed=$((total_failed + f)) total_skipped=$((total_skipped + s))
done
for f in "${failures[@]}"; do echo "  $f"; done
echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
((total_failed == 0))
