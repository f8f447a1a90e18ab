#!/bin/bash
# Builds the native program and runs it: the setup dialog in a real window.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
setup_missing_packages

cmake --preset native >/dev/null
cmake --build --preset native --target setup

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    cat >&2 <<'MSG'
There is no display to show the dialog on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it on a virtual display instead:
    xvfb-run -a -s "-screen 0 1600x1200x24" tools/run.sh
MSG
    exit 1
fi
exec build/native/setup
