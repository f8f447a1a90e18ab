#!/bin/bash
# The built native program, as a player starts it: each run in a fresh
# configuration folder, on the display in DISPLAY (on_display.sh provides one).
#   - without a display it says how to run it and exits 1;
#   - it shows its window; Esc (Exit) on a first start asks "Discard changes ?!",
#     Yes ends it with exit code 0 and nothing written;
#   - Enter (Save and exit) writes the 35-byte record and ends with 0;
#   - started again with that record, Esc ends it at once, the record untouched.
# Usage: program_test.sh path/to/setup
set -u
program=$1
work=$(mktemp -d)
pid=
keeper=
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null
    [[ -n $keeper ]] && kill "$keeper" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

record_of() { echo "$1/Brannick/Velmora/Orvex_setup"; }

start() {
    mkdir -p "$1"
    env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$1" "$program" &
    pid=$!
}

# The visible window whose name matches, waiting up to 30 seconds.
window_named() {
    local w
    for _ in $(seq 300); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [[ -n $w ]] && { echo "$w"; return 0; }
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Keys go to the window that has the X input focus (there is no window manager).
press() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
    sleep 0.3
    xdotool key "$2"
}

# The program's exit code once it ends, failing after 30 seconds.
exit_code() {
    for _ in $(seq 300); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            local rc=$?
            pid=
            return $rc
        fi
        if xdotool search --onlyvisible --name '^WARNING\.\.\.$' >/dev/null 2>&1 && [[ ${1:-} == no-box ]]; then
            fail "an unexpected \"Discard changes ?!\" box"
        fi
        sleep 0.1
    done
    fail "the program did not end"
}

command -v xdotool >/dev/null || fail "xdotool is not installed"
[[ -n ${DISPLAY:-} ]] || fail "no DISPLAY (run through on_display.sh)"

# An X server without -noreset resets whenever its last client leaves, and
# refuses connections meanwhile; stay connected for the whole test.
xprop -root -spy >/dev/null 2>&1 &
keeper=$!

echo "--- no display"
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/none" "$program" 2>&1)
rc=$?
[[ $rc -eq 1 ]] || fail "without a display: exit code $rc, expected 1"
grep -q "no display" <<<"$message" || fail "without a display: no explanation: $message"
grep -q "xvfb-run" <<<"$message" || fail "without a display: does not say how to run it: $message"
[[ ! -e $work/none ]] || fail "without a display: something was written"

echo "--- Exit on a first start"
config=$work/exit
start "$config"
window=$(window_named '^Velmora$') || fail "no window named Velmora"
press "$window" Escape
box=$(window_named '^WARNING\.\.\.$') || fail "no \"WARNING...\" box after Exit on a first start"
press "$box" Return  # Yes, the default button
exit_code
rc=$?
[[ $rc -eq 0 ]] || fail "Exit: exit code $rc"
[[ -z $(find "$config" -type f) ]] || fail "Exit wrote: $(find "$config" -type f)"

echo "--- Save and exit"
config=$work/save
start "$config"
window=$(window_named '^Velmora$') || fail "no window named Velmora"
press "$window" Return
exit_code no-box
rc=$?
[[ $rc -eq 0 ]] || fail "Save and exit: exit code $rc"
record=$(record_of "$config")
[[ -f $record ]] || fail "Save and exit wrote no record"
size=$(stat -c %s "$record")
[[ $size -eq 35 ]] || fail "the record is $size bytes"
cp "$record" "$work/saved"

echo "--- Exit at once after a save"
start "$config"
window=$(window_named '^Velmora$') || fail "no window named Velmora"
press "$window" Escape
exit_code no-box
rc=$?
[[ $rc -eq 0 ]] || fail "Exit after a save: exit code $rc"
cmp -s "$record" "$work/saved" || fail "Exit changed the record"

echo "PASS"
