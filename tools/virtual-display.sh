#!/bin/bash
# Runs a command on a virtual X display of its own, 1600 x 1200 at 24 bits
# unless other Xvfb arguments are given. Xvfb picks a free display number
# itself (-displayfd): runs side by side never race for one, as xvfb-run -a's
# guess from lock files did (two test runs once took the same number).
#   tools/virtual-display.sh [Xvfb arguments...] -- command [arguments...]
set -uo pipefail
server=()
while (($#)) && [[ $1 != -- ]]; do server+=("$1") && shift; done
(($# > 1)) || { sed -n '6p' "$0" | sed 's/^# *//' >&2; exit 2; }
shift
((${#server[@]})) || server=(-screen 0 1600x1200x24)

dir=$(mktemp -d)
xvfb=
trap '[[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb"; rm -rf "$dir"' EXIT
trap 'exit 143' TERM INT
mkfifo "$dir/number"
Xvfb -displayfd 3 -nolisten tcp "${server[@]}" 3>"$dir/number" 2>"$dir/log" &
xvfb=$!
# The number once the server listens; nothing if it could not start.
read -r number <"$dir/number"
if [[ -z $number ]]; then
    echo "virtual-display: Xvfb did not start:" >&2
    cat "$dir/log" >&2
    exit 1
fi
DISPLAY=:$number "$@"
