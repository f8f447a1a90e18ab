#!/bin/bash
# Builds everything (native, Windows x86_64 and i686) and runs every test:
# the native tests, the checks of tools/check.d and velmora-config.exe end
# to end under Wine, both builds. Installs whatever is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
install_missing_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" || exit 1

start=$SECONDS
status=0
failed=()
# Each step's output is kept, so that the end can list what was skipped.
logs=build/check-logs
rm -rf "$logs" && mkdir -p "$logs"
step() { echo "=== $1 ($((SECONDS - start)) s)"; }
run() {  # label, command...
    local label=$1 log
    shift
    log=$logs/$(printf '%02d' "$(ls "$logs" | wc -l)")-${label//[^a-z0-9]/-}.log
    "$@" 2>&1 | tee "$log"
    ((PIPESTATUS[0] == 0)) || { status=1; failed+=("$label"); }
}
tests() {  # preset, ctest arguments...: and the reasons its skipped tests gave
    local preset=$1
    shift
    run "$preset tests" "$@"
    cp "build/$preset/Testing/Temporary/LastTest.log" "$logs/$preset-LastTest.log" 2>/dev/null || true
}

step "test share"
run "test share" tools/test-share.sh

for preset in native windows-x64 windows-x86; do
    step "build: $preset"
    run "build $preset" bash -c "cmake --preset $preset >/dev/null && cmake --build --preset $preset"
done

# Sanitizers, fuzzing, static analysis.
for extra in tools/check.d/*.sh; do
    step "$extra"
    run "$extra" bash "$extra"
done

step "tests: native"
tests native tools/virtual-display.sh -- ctest --preset native
step "tests: velmora-config.exe x86_64 under Wine"
tests windows-x64 ctest --preset windows-x64
# The shipped build is 32-bit: where the kernel cannot run 32-bit programs,
# its tests say so and are skipped (tools/wine-run.sh).
step "tests: velmora-config.exe i686 under Wine"
tests windows-x86 ctest --preset windows-x86

# A green run that skipped something says so on its last lines: every test
# that did not run, and every reason a test or check gave for leaving
# something out (a line starting "SKIPPED:").
mapfile -t skipped < <(
    for log in "$logs"/*-tests.log; do
        preset=${log##*/[0-9][0-9]-} preset=${preset%-tests.log}
        sed -n "s/^\s*[0-9]* - \(.*\) (Skipped)$/did not run: $preset \1/p" "$log"
    done
    grep -h -o 'SKIPPED: .*' "$logs"/*.log | sort -u)
if ((${#skipped[@]})); then
    echo "=== skipped:"
    printf '    %s\n' "${skipped[@]}"
else
    echo "=== skipped: nothing"
fi
echo "=== done in $((SECONDS - start)) s: $([[ $status == 0 ]] && echo "all passed" || echo "FAILED: ${failed[*]}")"
exit $status
