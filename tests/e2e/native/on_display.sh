#!/bin/bash
# Runs a command on the current display, or on a virtual one when there is none.
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" "$@"
