#!/bin/bash
# Screenshots of the native dialog on a compositor with a fractional scale:
# sway headless (1.8 or later, with Qt 6.5 or later: Debian 13), unfolded,
# the window moved to whole device pixels (sway centres it, at 1.5 on a half
# one, which softens everything), taken with grim at the output's scale:
#   docs/screenshot-sway-1.5x.png   at output scale 1.5
#   docs/screenshot-sway-1.75x.png  at output scale 1.75
# Usage: tools/screenshot-sway.sh [build folder, default build/native] [scale...]
# With scales given, it takes those into the current folder instead
# (screenshot-sway-SCALEx.png, the whole window, as PNG and as PPM for measures).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build/native}")
shift || true
program=$build/velmora-setup
scales=("$@")
out=$PWD
if ((${#scales[@]} == 0)); then
    scales=(1.5 1.75)
    out=$top/docs
fi
[[ -x $program ]] || { echo "No $program: build it first." >&2; exit 1; }
for tool in sway swaymsg wtype grim; do
    command -v $tool >/dev/null || { echo "No $tool." >&2; exit 1; }
done

runtime=$(mktemp -d)  # 0700, as XDG_RUNTIME_DIR must be
config=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$runtime" "$config"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$runtime
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# The record tools/screenshot-qt.sh starts from, at this output's 1600 x 1200:
# the lists show a chosen mode.
mkdir -p "$config/Brannick/Velmora"
printf '\x0c\x00\x40\x06\x00\x00\xb0\x04\x00\x00\x20\x00\x00\x00\x00\x00\x00\x00\x04\x00\x00\x01\x01\x00\x00\x01\x01\x01\x00\x00\x00\x01\x01\x04\x00' \
    >"$config/Brannick/Velmora/Orvex_setup"

echo "xwayland disable" >"$runtime/sway.conf"
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$runtime/sway.conf" 2>"$runtime/sway.log" &
pids+=($!)
ipc=$runtime/sway-ipc.$(id -u).$!.sock
for _ in $(seq 300); do
    [[ -S $ipc ]] && swaymsg -s "$ipc" -t get_version >/dev/null 2>&1 && break
    sleep 0.1
done
export SWAYSOCK=$ipc WAYLAND_DISPLAY=$(basename "$(ls "$runtime"/wayland-[0-9] | head -1)")
swaymsg -q output HEADLESS-1 mode 1600x1200
# A keyboard on the seat before the dialog opens: a wtype made later loses its first keys.
mkfifo "$runtime/keys"
wtype - <"$runtime/keys" &
pids+=($!)
exec 3>"$runtime/keys"

for scale in "${scales[@]}"; do
    swaymsg -q output HEADLESS-1 scale "$scale"
    WAYLAND_DEBUG=client XDG_CONFIG_HOME="$config" "$program" 2>"$runtime/protocol.log" &
    pids+=($!)
    for _ in $(seq 300); do  # until the dialog has the keyboard (libwayland 1.21 and 1.23 spellings)
        grep -qE 'wl_keyboard[@#][0-9]+\.enter\(' "$runtime/protocol.log" && break
        sleep 0.1
    done
    wtype -M shift -k Tab -m shift -k space  # "Open expert settings..."
    wtype -k Tab -M shift -k Tab -m shift    # back to it: the focus mark shows once Tab has moved it
    swaymsg -q '[title="^Velmora$"] move absolute position 40 40'
    sleep 1  # unfolded, moved, redrawn
    geometry=$(swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(n):
    if n.get("name") == "Velmora": print("%d,%d %dx%d" % (n["rect"]["x"], n["rect"]["y"], n["rect"]["width"], n["rect"]["height"]))
    for c in n.get("nodes", []) + n.get("floating_nodes", []): walk(c)
walk(json.load(sys.stdin))')
    name=$out/screenshot-sway-${scale}x
    grim -s "$scale" -g "$geometry" "$name.png"
    # For measures, 4 pixels round it (whole device pixels at 1.25 and 1.75): what lies outside its edges shows too.
    read -r x y w h <<<"${geometry//[,x]/ }"
    [[ $out == "$top/docs" ]] || grim -s "$scale" -g "$((x - 4)),$((y - 4)) $((w + 8))x$((h + 8))" -t ppm "$name.ppm"
    echo "$name.png: $geometry at $scale; buffers: $(grep -oE 'create_buffer\(new id wl_buffer[@#][0-9]+, [0-9]+, [0-9]+, [0-9]+' "$runtime/protocol.log" | awk '{print $5 $6}' | sort -u | tr '\n' ' ')"
    kill "${pids[-1]}" && wait "${pids[-1]}" 2>/dev/null || true
    unset 'pids[-1]'
done
