#!/bin/bash
# Photographs velmora-config.exe under Wine on a virtual 1600x1200x24 screen,
# folded and unfolded, cropped to the dialog. Wine draws the window frame
# itself (virtual desktop), so the pictures show the title bar as well.
#   tools/screenshot-win32.sh [build dir]   (default: build/windows-x64)
# Needs the targets setup and setup_e2e built in that folder; writes
# docs/screenshot-win32-folded.png and docs/screenshot-win32-unfolded.png.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/windows-x64}" && pwd)"
out="$root/docs"

if [[ -z "${SETUP_SHOT_INNER:-}" ]]; then
    export SETUP_SHOT_INNER=1
    exec "$(dirname "$0")/virtual-display.sh" -- "$0" "$build"
fi

program="$build/velmora-config.exe"
driver="$build/tests/e2e/win32/setup_e2e.exe"
[[ -x "$program" && -f "$driver" ]] || { echo "build setup (velmora-config.exe) and setup_e2e in $build first" >&2; exit 2; }

# A prefix of its own: the tests' prefix left alone.
export WINEPREFIX="$build/wineprefix-shot"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    wine wineboot -i >/dev/null 2>&1 || true
    wineserver -w
fi
# Wine's own fonts (the dialog's MS Sans Serif, Marlett for the caption
# buttons) where Wine finds them whatever its packaging: the prefix's Fonts.
if [[ -d /usr/share/wine/fonts && ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]]; then
    cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
# The driver puts the program on a 1600x1200 virtual desktop of its own, at
# the screen's top left; no desktop for every program of the prefix.
wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
wineserver -w

mkdir -p "$out"
capture() {  # name, then "left top width height"
    local name="$1" left top width height
    read -r left top width height <<<"$2"
    sleep 1
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$out/$name"
    echo "$out/$name: ${width}x${height} at ${left},${top}"
}

# A first start: the driver prints the dialog's rectangle folded, and after a
# line from here unfolded; after another line it ends the program.
coproc SHOT { timeout 180 wine "$driver" "$program" --shot; }
trap 'wineserver -k 2>/dev/null || true' EXIT
for name in screenshot-win32-folded.png screenshot-win32-unfolded.png; do
    read -r rect <&"${SHOT[0]}" || { echo "no dialog" >&2; exit 1; }
    capture "$name" "${rect%$'\r'}"
    echo >&"${SHOT[1]}"
done
wait || true
