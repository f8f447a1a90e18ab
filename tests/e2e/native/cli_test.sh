#!/bin/sh
# The command line is read before any display is opened (none is set here):
# --help and --version print and exit 0, a wrong argument is named in one line
# with a hint and exits 2, and every message names the program as started
# (it once named build/native/setup, or argv[0] with its folder). A display
# that is set but cannot be opened is named with the reason, without the
# advice for no display at all (a virtual one, which once was offered to
# Wayland users missing Qt's Wayland plugin); "bare" is a copy whose qt.conf
# points at a plugin folder without that plugin.
set -eu  # arguments: the program, its version
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
ln -s "$(realpath "$1")" "$dir/velmora-setup"
mkdir -p "$dir/bare/plugins/platforms"
cp "$1" "$dir/bare/velmora-setup"
printf '[Paths]\nPlugins = %s\n' "$dir/bare/plugins" >"$dir/bare/qt.conf"
status=0
# environment | arguments | exit code | first line of stdout (code 0) or stderr
while IFS='|' read -r environment arguments code first; do
    program=$dir/velmora-setup
    case "$environment" in bare*) program=$dir/bare/velmora-setup environment=${environment#bare} ;; esac
    # shellcheck disable=SC2086  # words of the table's columns
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$dir" $environment "$program" \
          $arguments 2>"$dir/stderr") && got=0 || got=$?
    err=$(cat "$dir/stderr")
    [ "$code" = 0 ] && line=$(echo "$out" | head -n1) || line=$(echo "$err" | head -n1)
    why=
    case "$line" in "$first"*) ;; *) why="first line: $line" ;; esac
    [ "$got" = "$code" ] || why="exit code $got"
    [ "$code" != 0 ] || [ -z "$err" ] || why="stderr: $err"
    [ "$code" != 2 ] || [ "$err" = "$first
Try 'velmora-setup --help'." ] || why="stderr: $err"
    case "$out$err" in *"$dir"*) why="names the program by its path" ;; esac
    case "$environment $err" in *DISPLAY=*xvfb-run*) why="a virtual display offered: $err" ;; esac
    [ -z "$why" ] || { echo "FAIL: [$environment] velmora-setup $arguments: $why" >&2; status=1; }
done <<TABLE
|--help|0|Usage: velmora-setup [options]
|-h|0|Usage: velmora-setup [options]
|--version|0|velmora-setup $2
|--bogus|2|velmora-setup: Unknown option 'bogus'.
|-platform offscreen|2|velmora-setup: Unknown option 'platform'.
|extra|2|velmora-setup: Unexpected argument 'extra'.
||1|velmora-setup: there is no display to show the dialog on
DISPLAY=:9999||1|velmora-setup: cannot open the display (DISPLAY=:9999: could not connect to display :9999)
WAYLAND_DISPLAY=velmora-none||1|velmora-setup: cannot open the display (WAYLAND_DISPLAY=velmora-none:
bare WAYLAND_DISPLAY=velmora-none||1|velmora-setup: cannot open the display (WAYLAND_DISPLAY=velmora-none: Qt's Wayland platform plugin is not installed (Debian package qt6-wayland))
bare WAYLAND_SOCKET=9||1|velmora-setup: cannot open the display (WAYLAND_SOCKET=9: Qt's Wayland platform plugin is not installed (Debian package qt6-wayland))
bare DISPLAY=:9999 WAYLAND_DISPLAY=velmora-none||1|velmora-setup: cannot open the display (DISPLAY=:9999, WAYLAND_DISPLAY=velmora-none: 
TABLE
exit $status
