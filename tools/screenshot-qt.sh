#!/bin/bash
# Screenshots of the native dialog on a virtual display (1600x1200x24, no
# window manager, so the pictures show the dialog's client area):
#   docs/screenshot-qt-folded.png     as it opens
#   docs/screenshot-qt-list-open.png  the speaker list open
#   docs/screenshot-qt-unfolded.png   after "Open expert settings..."
#   docs/screenshot-qt-2x-focus.png   at twice the scale, Tab having moved the
#                                     focus to the resolution list
# Usage: tools/screenshot-qt.sh [build folder, default build/native]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
program=$build/velmora-setup
if [[ ! -x $program ]]; then
    echo "No $program: build it first (cmake --build --preset native --target velmora-setup)." >&2
    exit 1
fi
if [[ -z "${SCREENSHOT_ON_XVFB:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1600x1200x24" env SCREENSHOT_ON_XVFB=1 "$0" "$@"
fi

config=$(mktemp -d)
pid=
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$config"
}
trap cleanup EXIT

# A fresh configuration folder: nothing of the player's is read or written.
# It holds a record as a player would have saved it on this screen (1600 x 1200,
# 32 bits, full screen, 4x antialiasing), so the lists show a chosen mode; on a
# first start the profile would ask for a size the virtual screen lacks.
mkdir -p "$config/Brannick/Velmora"
printf '\x0c\x00\x40\x06\x00\x00\xb0\x04\x00\x00\x20\x00\x00\x00\x00\x00\x00\x00\x04\x00\x00\x01\x01\x00\x00\x01\x01\x01\x00\x00\x00\x01\x01\x04\x00' \
    >"$config/Brannick/Velmora/Orvex_setup"
[[ $(stat -c %s "$config/Brannick/Velmora/Orvex_setup") == 35 ]]
start() {  # [variable=value]...: the program with these in its environment
    env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$config" "$@" "$program" &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Velmora$' | head -1)
    [[ -n $window ]] || { echo "The dialog did not appear." >&2; exit 1; }
}
start

shoot() {
    sleep 1  # let the probe finish and the dialog repaint
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
    echo "$1: ${WIDTH}x${HEIGHT}"
}

shoot docs/screenshot-qt-folded.png

# The speaker list open: a click on the arrow at the right end of its field,
# template rectangle 261,84,106 wide; the field is 21 pixels high.
xdotool mousemove --window "$window" $(((261 * 6 + 2) / 4 + (106 * 6 + 2) / 4 - 8)) $(((84 * 13 + 4) / 8 + 10)) click 1
shoot docs/screenshot-qt-list-open.png
xdotool key Escape

# "Open expert settings...": template rectangle 255,142,115,15 in dialog units
# of 6 x 13 pixels (x * 6 / 4, y * 13 / 8); click its middle.
xdotool mousemove --window "$window" $(((255 * 6 + 2) / 4 + (115 * 6 + 2) / 8)) $(((142 * 13 + 4) / 8 + (15 * 13 + 4) / 16)) click 1
shoot docs/screenshot-qt-unfolded.png

# At twice the scale; the focus shows once the keyboard has moved it.
kill "$pid" && wait "$pid" || true
start QT_SCALE_FACTOR=2
xdotool windowfocus --sync "$window" key Tab
shoot docs/screenshot-qt-2x-focus.png
