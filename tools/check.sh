#!/bin/bash
# Builds everything (native, Windows x86_64 and i686) and runs every test:
# the native tests and the Windows tests under Wine, on a virtual display.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
setup_missing_packages || exit 1

set -e
for preset in native windows-x64 windows-x86; do
    echo "=== build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
set +e

# Extra builds and checks (sanitizers, fuzzing, static analysis) join here.
status=0
for extra in tools/check.d/*.sh; do
    [[ -e "$extra" ]] || continue
    echo "=== $extra"
    bash "$extra" || status=1
done

echo "=== tests"
xvfb-run -a -s "-screen 0 1600x1200x24" bash -c '
    status=0
    ctest --preset native || status=1
    ctest --preset windows-x64 || status=1
    exit $status
' || status=1
exit $status
