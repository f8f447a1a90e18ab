#!/bin/bash
# Screenshots of the native dialog on a virtual display (1600x1200x24, no
# window manager, so the pictures show the dialog's client area):
#   docs/screenshot-qt-folded.png     as it opens
#   docs/screenshot-qt-list-open.png  the speaker list open
#   docs/screenshot-qt-unfolded.png   after "Open expert settings..."
#   docs/screenshot-qt-2x-focus.png   at twice the scale, Tab having moved the
#                                     focus to the resolution list
#   docs/screenshot-wayland-2x.png    on Wayland (weston's X11 back end at
#                                     output scale 2, on the same virtual
#                                     display), unfolded, with the title bar
#                                     the dialog draws there
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
    exec "$(dirname "$0")/virtual-display.sh" -- env SCREENSHOT_ON_XVFB=1 "$0" "$@"
fi

config=$(mktemp -d)
runtime=$(mktemp -d)  # 0700, as XDG_RUNTIME_DIR must be
pid=
weston_pid=
cleanup() {
    for p in $pid $weston_pid; do
        kill "$p" 2>/dev/null && wait "$p" 2>/dev/null || true
    done
    rm -rf "$config" "$runtime"
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

# On Wayland: weston's 800 x 600 output at scale 2 fills the virtual display.
# Its pointer waits in a corner (it follows the X pointer's motion, not its
# place), its window has the keyboard before the dialog opens, Shift+Tab and
# Space unfold. The picture is cropped to what changed on
# the desktop when the dialog opened, the panel (and its clock) left out.
kill "$pid" && wait "$pid" || true
pid=
if ! command -v weston >/dev/null; then
    echo "No weston: docs/screenshot-wayland-2x.png not taken." >&2
    exit 0
fi
XDG_RUNTIME_DIR=$runtime weston --backend=x11-backend.so --socket=velmora-screenshot --width=800 --height=600 \
    --scale=2 --no-config --idle-time=0 2>"$runtime/weston.log" &
weston_pid=$!
desktop=$(timeout 30 xdotool search --sync --onlyvisible --class '^Weston Compositor$' | head -1)
[[ -n $desktop ]] || { echo "weston did not start (see its log)." >&2; cat "$runtime/weston.log" >&2; exit 1; }
xdotool mousemove 1599 1199 windowfocus --sync "$desktop"
sleep 2  # its background and panel drawn
import -window root "$runtime/desktop.png"
env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=velmora-screenshot WAYLAND_DEBUG=client \
    XDG_CONFIG_HOME="$config" "$program" 2>"$runtime/protocol.log" &
pid=$!
for _ in $(seq 300); do  # until the dialog has the keyboard (libwayland 1.21 and 1.23 spellings)
    grep -qE 'wl_keyboard[@#][0-9]+\.enter\(' "$runtime/protocol.log" && break
    sleep 0.1
done
grep -qE 'wl_keyboard[@#][0-9]+\.enter\(' "$runtime/protocol.log" || { echo "The dialog did not appear on weston." >&2; exit 1; }
xdotool key shift+Tab space
sleep 1
import -window root "$runtime/dialog.png"
area=$(convert "$runtime/desktop.png" "$runtime/dialog.png" -compose difference -composite \
    -fill black -draw 'rectangle 0,0 1599,63' -threshold 0 -format '%@' info:)
convert "$runtime/dialog.png" -crop "$area" +repage docs/screenshot-wayland-2x.png
echo "docs/screenshot-wayland-2x.png: $area"
