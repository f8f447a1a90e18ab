#!/bin/bash
# Sanitizer build (preset "asan": AddressSanitizer, LeakSanitizer, UBSan with
# no recovery) of the native program and every native test, run on a virtual
# display; then the program itself, started and closed as a player would, must
# end with exit code 0 and no LeakSanitizer report. System-library leaks are
# suppressed in tools/lsan.supp; leaks of the project's code fail.
set -uo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/../.."
start=$SECONDS
status=0

if [[ ${1:-} != --on-display ]]; then
    # A folder configured with another compiler cannot be reconfigured in place.
    if [[ -f build/asan/CMakeCache.txt ]] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' build/asan/CMakeCache.txt; then
        rm -rf build/asan
    fi
    cmake --preset asan >/dev/null || exit 1
    cmake --build --preset asan || exit 1
    echo "asan build: $((SECONDS - start)) s"
    # The tests and the program need a display: this script again, on a virtual one.
    tools/virtual-display.sh -- bash "$script" --on-display || status=1
    echo "asan: $((SECONDS - start)) s, $([[ $status == 0 ]] && echo clean || echo FAILED)"
    exit $status
fi

# The same sanitizer settings as the test preset, for the program runs below.
ASAN_OPTIONS=$(sed -n 's/.*"ASAN_OPTIONS": "\([^"]*\)".*/\1/p' CMakePresets.json | head -1)
export ASAN_OPTIONS
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# One start and close of build/asan/velmora-setup on the display in DISPLAY.
#   program_leak_run <config folder> <key> <label>
# Sends <key> to the dialog, answers Yes (Return) to any box that follows,
# and expects exit code 0 with a clean sanitizer log.
program_leak_run() {
    local config=$1 key=$2 label=$3 log pid window rc
    log=$(mktemp)
    XDG_CONFIG_HOME=$config XDG_CACHE_HOME=$config/cache env -u QT_QPA_PLATFORM build/asan/velmora-setup >"$log" 2>&1 &
    pid=$!
    window=
    for _ in $(seq 600); do
        window=$(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null | head -1)
        [[ -n $window ]] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ -z $window ]]; then
        echo "FAIL ($label): no dialog window"; cat "$log"; kill "$pid" 2>/dev/null; rm -f "$log"; return 1
    fi
    # The key waits in the window's queue until the dialog is initialised.
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    xdotool key "$key"
    for i in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        # A box asking about unsaved changes: Yes is its default button.
        if ((i % 20 == 0)); then
            box=$(xdotool search --onlyvisible --name '^WARNING\.\.\.$' 2>/dev/null | head -1)
            if [[ -n $box ]]; then
                timeout 10 xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box"
                xdotool key Return
            fi
        fi
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "FAIL ($label): the program did not end"; kill "$pid"; wait "$pid"; cat "$log"; rm -f "$log"; return 1
    fi
    wait "$pid"
    rc=$?
    if ((rc != 0)) || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$log"; then
        echo "FAIL ($label): exit code $rc"; cat "$log"; rm -f "$log"; return 1
    fi
    echo "ok ($label): exit code 0, no sanitizer report"
    rm -f "$log"
}
# LeakSanitizer matches a pattern against every frame's function, file and
# module name: no pattern may name anything of the program, or its own leaks
# would pass unseen.
program_symbols=$(nm -C --defined-only build/asan/velmora-setup | grep -v ' __\(asan\|lsan\|ubsan\|sanitizer\)')
while read -r pattern; do
    if grep -qF -- "$pattern" <<<"$program_symbols" || find setup -type f | grep -qF -- "$pattern" ||
            [[ velmora-setup == *"$pattern"* ]]; then
        echo "FAIL: tools/lsan.supp's leak:$pattern matches the program itself"
        status=1
    fi
done < <(sed -n 's/^leak://p' tools/lsan.supp)
ctest --preset asan || status=1
config=$(mktemp -d)
program_leak_run "$config" Escape "first start, Exit, discard" || status=1
program_leak_run "$config" Return "Save and exit" || status=1
[[ $(stat -c %s "$config/Brannick/Velmora/Orvex_setup" 2>/dev/null) == 35 ]] ||
    { echo "FAIL: Save and exit left no 35-byte record"; status=1; }
program_leak_run "$config" Escape "stored record, Exit" || status=1
rm -rf "$config"
exit $status
