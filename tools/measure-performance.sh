#!/bin/bash
# Reproduces every figure of docs/performance.md in one run: start-up time and
# peak memory to a ready dialog (native program on the display, as a player
# starts it and with the accessibility bridge up; velmora-config.exe under
# Wine warm and cold) against trivial dialog programs on the same
# toolkits (natively two: the blank dialog, and the blank dialog with SDL's
# video and one EGL OpenGL context on the display, the least the program's
# display probe can cost), the display probe benchmarks, and the size of
# velmora-config.exe.
#
#   tools/measure-performance.sh            # RUNS=7 launches of each program
#   WINE=0 tools/measure-performance.sh     # the native figures only
#
# Build folders (configured with the presets' settings when missing):
#   NATIVE_BUILD (build/native), WIN64_BUILD (build/windows-x64),
#   WIN32_BUILD (build/windows-x86). The Wine prefix is $WIN64_BUILD/wineprefix;
#   creating it is not measured.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
RUNS="${RUNS:-7}"
NATIVE_BUILD="$(realpath -m "${NATIVE_BUILD:-build/native}")"
WIN64_BUILD="$(realpath -m "${WIN64_BUILD:-build/windows-x64}")"
WIN32_BUILD="$(realpath -m "${WIN32_BUILD:-build/windows-x86}")"
WINE="${WINE:-1}"
export NATIVE_BUILD WIN64_BUILD WIN32_BUILD RUNS WINE

# Every figure is taken on the same virtual display.
if [[ -z "${DISPLAY:-}" ]]; then
    exec "$(dirname "$0")/virtual-display.sh" -- "$0" "$@"
fi

echo "== build" >&2
cmake -S . -B "$NATIVE_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_BENCH=ON >/dev/null
ninja -C "$NATIVE_BUILD" -j2 velmora-setup setup_startup_probe floor_qt floor_qt_display startup_probe >&2
# The core benchmarks use the test fakes; without them the rest is still measured.
probe_bench=1
ninja -C "$NATIVE_BUILD" -j2 probe_bench >&2 || probe_bench=0
if [[ $WINE == 1 ]]; then
    cmake -S . -B "$WIN64_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    ninja -C "$WIN64_BUILD" -j2 setup setup_startup_probe floor_win32 >&2
    cmake -S . -B "$WIN32_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel -DSETUP_TESTS=OFF >/dev/null
    ninja -C "$WIN32_BUILD" -j2 setup floor_win32 >&2
fi

probe="$NATIVE_BUILD/bench/startup_probe"
wine_run="$root/tools/wine-run.sh"
prefix="$WIN64_BUILD/wineprefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
samples="$(mktemp -d)"
trap 'rm -rf "$samples"' EXIT

echo "== machine"
echo "- CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores online, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "- memory: $(free -h | awk '/^Mem:/ {print $2}'), kernel $(uname -r)"
echo "- $(g++ --version | head -1); $(x86_64-w64-mingw32-g++-posix --version 2>/dev/null | head -1)"
echo "- $(wine --version 2>/dev/null); Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6); $(Xvfb -version 2>&1 | grep -m1 -i 'x.org x server' || echo Xvfb)"
echo "- Mesa: $(dpkg-query -W -f='${Version}' libegl-mesa0 2>/dev/null || echo '?'); SDL: $(dpkg-query -W -f='${Version}' libsdl2-2.0-0 2>/dev/null || echo '?')"
echo "- native: RelWithDebInfo (-O2 -g); Windows: MinSizeRel (-Os), static runtime"

# One launch: "<ms to ready> <peak RSS KiB>" appended to $samples/<name>.
launch() {
    local name="$1"
    shift
    SETUP_EXIT_WHEN_SHOWN=1 "$probe" --line -- "$@" >>"$samples/$name" 2>/dev/null
}

echo "== launches ($RUNS of each, interleaved)" >&2
# An empty configuration folder: no record, so every launch is a first start
# (the Autodetect profile asks for the video memory before the adapters are
# listed), and nothing of the user's is read.
mkdir -p "$samples/config"
# The player's path: Qt on the display itself (xcb), with a session bus as
# every desktop has. Each program runs as most players start it, and with
# the accessibility bridge up (AT-SPI's bus and registry already running, Qt
# told to expose its widgets), as a screen reader's user starts it.
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$samples}" XDG_CONFIG_HOME="$samples/config"
unset QT_QPA_PLATFORM QT_LINUX_ACCESSIBILITY_ALWAYS_ON
{ read -r DBUS_SESSION_BUS_ADDRESS; read -r bus_pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS
trap 'kill "$bus_pid" 2>/dev/null; rm -rf "$samples"' EXIT
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 launch warm_up "$NATIVE_BUILD/bench/setup_startup_probe"
for ((i = 0; i < RUNS; ++i)); do
    for bridge in "" a11y_; do
        export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=${bridge:+1}
        [[ -n $bridge ]] || unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON
        launch "${bridge}native_setup" "$NATIVE_BUILD/bench/setup_startup_probe"
        launch "${bridge}native_floor_display" "$NATIVE_BUILD/bench/floor_qt_display"
        launch "${bridge}native_floor" "$NATIVE_BUILD/bench/floor_qt"
    done
done
unset XDG_CONFIG_HOME QT_LINUX_ACCESSIBILITY_ALWAYS_ON

if [[ $WINE == 1 ]]; then
    # The x86_64 programs through Wine's 64-bit loader itself: with 32-bit Wine
    # also installed, /usr/bin/wine starts them through the 32-bit one, which
    # hands the program to a process outside the launched tree, so its memory
    # would go unmeasured.
    if [[ -x /usr/lib/wine/wine64 ]]; then
        mkdir -p "$samples/bin"
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$samples/bin/wine"
        chmod +x "$samples/bin/wine"
        export PATH="$samples/bin:$PATH"
    fi
    # Wine prefix and fonts ready before anything is timed.
    "$wine_run" --prefix "$prefix" cmd /c exit >/dev/null 2>&1 || true
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true

    # Warm: a wineserver (and Wine's own services) already running.
    "$wineserver" -p
    "$wine_run" --prefix "$prefix" cmd /c exit >/dev/null 2>&1 || true
    for ((i = 0; i < RUNS; ++i)); do
        launch wine_warm_setup "$wine_run" --prefix "$prefix" "$WIN64_BUILD/bench/setup_startup_probe.exe"
        launch wine_warm_floor "$wine_run" --prefix "$prefix" "$WIN64_BUILD/bench/floor_win32.exe"
    done
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true

    # Cold: Wine started from nothing for each launch (prefix already made).
    for ((i = 0; i < RUNS; ++i)); do
        for which in setup floor; do
            exe="$WIN64_BUILD/bench/setup_startup_probe.exe"
            [[ $which == floor ]] && exe="$WIN64_BUILD/bench/floor_win32.exe"
            launch "wine_cold_$which" "$wine_run" --prefix "$prefix" "$exe"
            "$wineserver" -k 2>/dev/null || true
            "$wineserver" -w 2>/dev/null || true
        done
    done
fi

# median, min and max of one column of a sample file
stats() {
    sort -n -k"$2" "$1" | awk -v c="$2" -v d="$3" '
        { v[NR] = $c }
        END {
            if (NR == 0) { print "(no sample) | | "; exit }
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%.*f | %.*f | %.*f (n=%d)\n", d, m / (c == 2 ? 1024 : 1), d, v[1] / (c == 2 ? 1024 : 1), d, v[NR] / (c == 2 ? 1024 : 1), NR
        }'
}

# median of one column of a sample file
median() {
    sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

names="native_setup native_floor_display native_floor a11y_native_setup a11y_native_floor_display a11y_native_floor"
[[ $WINE == 1 ]] && names="$names wine_warm_setup wine_warm_floor wine_cold_setup wine_cold_floor"
echo "== start-up to a ready dialog (ms: median | min | max)"
for name in $names; do
    echo "$name | $(stats "$samples/$name" 1 0)"
done
echo "== peak RSS to a ready dialog (MiB: median | min | max)"
for name in $names; do
    echo "$name | $(stats "$samples/$name" 2 1)"
done
echo "== native setup against its floor (medians; target at most 1.2)"
for bridge in "" a11y_; do
    for column in "1 start-up" "2 peak RSS"; do
        awk -v p="$(median "$samples/${bridge}native_setup" "${column%% *}")" \
            -v f="$(median "$samples/${bridge}native_floor_display" "${column%% *}")" \
            -v what="${bridge:+accessibility bridge up, }${column#* }" 'BEGIN { printf "%s: %.2fx\n", what, p / f }'
    done
done

echo "== display probe benchmarks (RelWithDebInfo)"
if [[ $probe_bench == 1 ]]; then
    "$NATIVE_BUILD/bench/probe_bench" --benchmark_repetitions=10 --benchmark_report_aggregates_only=true \
        --benchmark_format=console 2>/dev/null | grep -E '_(median|stddev|cv) '
else
    echo "(probe_bench does not build: not measured)"
fi
[[ $WINE == 1 ]] || exit 0

echo "== sizes (bytes, as built: MinSizeRel, linked with --gc-sections and -s)"
for build in "$WIN64_BUILD" "$WIN32_BUILD"; do
    for exe in "$build/velmora-config.exe" "$build/bench/floor_win32.exe"; do
        [[ -f "$exe" ]] && echo "$(stat -c %s "$exe") ${exe#"$root"/}"
    done
done
for pair in "x86_64:$WIN64_BUILD" "i686:$WIN32_BUILD"; do
    echo "-- sections of ${pair#*:}/velmora-config.exe"
    "${pair%%:*}-w64-mingw32-size" -A "${pair#*:}/velmora-config.exe" | awk 'NR > 2 && $2 > 0 {print $1, $2}'
done
echo "-- resources: $(stat -c %s setup/res/logo.bmp) logo.bmp, $(stat -c %s setup/res/setup.ico) setup.ico"
