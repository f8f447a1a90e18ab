#!/bin/bash
# Photographs setup.exe under Wine on a virtual 1600x1200x24 screen, folded and
# unfolded, cropped to the dialog. Wine draws the window frame itself (virtual
# desktop), so the pictures show the title bar as well.
#   tools/screenshot-win32.sh [build dir]   (default: build/windows-x64)
# Needs the targets setup and setup_shot built in that folder; writes
# docs/screenshot-win32-folded.png and docs/screenshot-win32-unfolded.png.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/windows-x64}" && pwd)"
out="$root/docs"

if [[ -z "${SETUP_SHOT_INNER:-}" ]]; then
    export SETUP_SHOT_INNER=1
    exec xvfb-run -a -s "-screen 0 1600x1200x24" "$0" "$build"
fi

setup="$build/setup.exe"
shot="$build/tests/e2e/win32/setup_shot.exe"
[[ -x "$setup" && -x "$shot" ]] || { echo "build setup and setup_shot in $build first" >&2; exit 2; }

# A prefix of its own: a first start with nothing stored, and the tests'
# prefix left alone.
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
wine reg delete 'HKLM\Software\Brannick\Velmora' /reg:32 /f >/dev/null 2>&1 || true
# Every program of this prefix on one virtual desktop, so the helper finds
# the dialog there and Wine draws the frames.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1200 /f >/dev/null 2>&1
# The desktop is chosen when the prefix starts: let it stop first.
wineserver -w

wine "$setup" >/dev/null 2>&1 &
program=$!
trap 'wineserver -k 2>/dev/null || true' EXIT

mkdir -p "$out"
capture() {  # name, then "left top width height"
    local name="$1" left top width height
    read -r left top width height <<<"$2"
    sleep 1
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$out/$name"
    echo "$out/$name: ${width}x${height} at ${left},${top}"
}

step() { timeout 180 wine "$shot" "$1" | tr -d '\r'; }
folded="$(step wait)"
[[ -n "$folded" ]] || { echo "no dialog" >&2; exit 1; }
capture screenshot-win32-folded.png "$folded"
capture screenshot-win32-unfolded.png "$(step toggle)"
step close >/dev/null || true
timeout 60 tail --pid="$program" -f /dev/null || true
