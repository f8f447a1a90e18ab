#!/bin/bash
# Reproduces every figure of docs/performance.md in one run: start-up time and
# peak memory to a ready dialog against the floors (bench/floor), the display
# probe benchmarks, and the size of velmora-config.exe. Start-up rows:
# - the native program and both Qt floors on X11 (the virtual display), as a
#   player starts them and with the accessibility bridge up, and as Wayland
#   clients of a nested compositor (weston on the virtual display, DISPLAY
#   unset for the clients),
#   all interleaved;
# - velmora-config.exe (its start-up probe build) against its display floor and
#   the blank Win32 dialog, x86_64 and i686 (where 32-bit programs run), with
#   Wine already running and started for each launch, interleaved.
# The 1-minute load average is sampled before every round of launches.
#
#   tools/measure-performance.sh            # RUNS=7 launches of each program
#   WINE=0 tools/measure-performance.sh     # the native figures only
#   WAYLAND=0 tools/measure-performance.sh  # no Wayland rows
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
WAYLAND="${WAYLAND:-1}"
export NATIVE_BUILD WIN64_BUILD WIN32_BUILD RUNS WINE WAYLAND

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
    ninja -C "$WIN64_BUILD" -j2 setup setup_startup_probe floor_win32 floor_win32_display >&2
    cmake -S . -B "$WIN32_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel -DSETUP_TESTS=OFF >/dev/null
    ninja -C "$WIN32_BUILD" -j2 setup setup_startup_probe floor_win32 floor_win32_display >&2
fi

probe="$NATIVE_BUILD/bench/startup_probe"
wine_run="$root/tools/wine-run.sh"
prefix="$WIN64_BUILD/wineprefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
samples="$(mktemp -d)"
weston_pid=
bus_pid=
trap 'kill $weston_pid $bus_pid 2>/dev/null; rm -rf "$samples"' EXIT

echo "== machine"
echo "- CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores online, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "- memory: $(free -h | awk '/^Mem:/ {print $2}'), kernel $(uname -r)"
echo "- $(g++ --version | head -1); $(x86_64-w64-mingw32-g++-posix --version 2>/dev/null | head -1)"
echo "- $(wine --version 2>/dev/null); Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6); $(Xvfb -version 2>&1 | grep -m1 -i 'x.org x server' || echo Xvfb)"
echo "- Mesa: $(dpkg-query -W -f='${Version}' libegl-mesa0 2>/dev/null || echo '?'); SDL: $(dpkg-query -W -f='${Version}' libsdl2-2.0-0 2>/dev/null || echo '?'); $(weston --version 2>/dev/null || echo 'no weston')"
echo "- native: RelWithDebInfo (-O2 -g); Windows: MinSizeRel (-Os), static runtime"

# One launch: "<ms to ready> <peak RSS KiB> <CPU ms>" appended to $samples/<name>.
launch() {
    local name="$1"
    shift
    SETUP_EXIT_WHEN_SHOWN=1 "$probe" --line -- "$@" >>"$samples/$name" 2>/dev/null
}

# The 1-minute load average, one sample per round of launches.
sample_load() { cut -d' ' -f1 /proc/loadavg >>"$samples/load"; }

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
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null

# Wayland: a nested compositor of its own, weston's X11 back end on the virtual
# display (the headless one has no seat, and SDL before 2.30 cannot start its
# Wayland video without one), composing with pixman so that it takes as
# little of the shared CPU as it can; its clients see no X display and Qt is
# told to take Wayland.
if [[ $WAYLAND == 1 ]] && ! command -v weston >/dev/null; then
    echo "measure-performance.sh: no weston, so no Wayland rows" >&2
    WAYLAND=0
fi
if [[ $WAYLAND == 1 ]]; then
    weston --backend=x11-backend.so --use-pixman --socket=velmora-perf --width=1024 --height=768 --no-config \
        --idle-time=0 2>"$samples/weston.log" &
    weston_pid=$!
    for ((t = 0; t < 300; ++t)); do
        [[ -S $XDG_RUNTIME_DIR/velmora-perf ]] && break
        sleep 0.1
    done
    if [[ ! -S $XDG_RUNTIME_DIR/velmora-perf ]]; then
        echo "measure-performance.sh: weston did not start:" >&2
        cat "$samples/weston.log" >&2
        exit 1
    fi
fi
on_wayland=(env -u DISPLAY WAYLAND_DISPLAY=velmora-perf QT_QPA_PLATFORM=wayland)

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 launch warm_up "$NATIVE_BUILD/bench/setup_startup_probe"
[[ $WAYLAND == 0 ]] || launch warm_up "${on_wayland[@]}" "$NATIVE_BUILD/bench/setup_startup_probe"
for ((i = 0; i < RUNS; ++i)); do
    sample_load
    for bridge in "" a11y_; do
        export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=${bridge:+1}
        [[ -n $bridge ]] || unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON
        launch "${bridge}native_setup" "$NATIVE_BUILD/bench/setup_startup_probe"
        launch "${bridge}native_floor_display" "$NATIVE_BUILD/bench/floor_qt_display"
        launch "${bridge}native_floor" "$NATIVE_BUILD/bench/floor_qt"
    done
    unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON
    if [[ $WAYLAND == 1 ]]; then
        launch wayland_native_setup "${on_wayland[@]}" "$NATIVE_BUILD/bench/setup_startup_probe"
        launch wayland_native_floor_display "${on_wayland[@]}" "$NATIVE_BUILD/bench/floor_qt_display"
        launch wayland_native_floor "${on_wayland[@]}" "$NATIVE_BUILD/bench/floor_qt"
    fi
done
unset XDG_CONFIG_HOME QT_LINUX_ACCESSIBILITY_ALWAYS_ON
if [[ -n $weston_pid ]]; then
    kill "$weston_pid" && wait "$weston_pid" 2>/dev/null || true
    weston_pid=
fi

if [[ $WINE == 1 ]]; then
    # The x86_64 programs through Wine's 64-bit loader itself: with 32-bit Wine
    # also installed, /usr/bin/wine starts them through the 32-bit one, which
    # hands the program to a process outside the launched tree, so its memory
    # would go unmeasured. The i686 programs take the ordinary path (the
    # 32-bit loader runs them in the launched process).
    mkdir -p "$samples/bin"
    if [[ -x /usr/lib/wine/wine64 ]]; then
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$samples/bin/wine"
        chmod +x "$samples/bin/wine"
    fi
    wine64_path="$samples/bin:$PATH"
    # i686 only where 32-bit programs run: the kernel's 32-bit support and
    # Wine's 32-bit loader.
    arches="x86_64"
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        arches="x86_64 i686"
        echo "- i686: measured, 32-bit programs run here (Wine's 32-bit loader starts)"
    else
        echo "- i686: not measured, 32-bit programs do not run here (the kernel or Wine's 32-bit loader)"
    fi
    # One Windows launch: wine_<warm|cold>_<arch>_<program>
    wine_launch() {
        local mode="$1" arch="$2" which="$3" build="$WIN64_BUILD" search="$wine64_path"
        [[ $arch == i686 ]] && build="$WIN32_BUILD" && search="$PATH"
        local exe="$build/bench/setup_startup_probe.exe"
        [[ $which == floor_display ]] && exe="$build/bench/floor_win32_display.exe"
        [[ $which == floor ]] && exe="$build/bench/floor_win32.exe"
        PATH="$search" launch "wine_${mode}_${arch}_${which}" "$wine_run" --prefix "$prefix" "$exe"
    }
    # Wine prefix and fonts ready before anything is timed.
    PATH="$wine64_path" "$wine_run" --prefix "$prefix" cmd /c exit >/dev/null 2>&1 || true
    # Every launch a first start: no record in either registry view of the
    # prefix (the end-to-end tests share it and may have left one).
    for view in 64 32; do
        PATH="$wine64_path" "$wine_run" --prefix "$prefix" reg delete 'HKLM\Software\Brannick\Velmora' /f \
            "/reg:$view" >/dev/null 2>&1 || true
    done
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true

    # Warm: a wineserver (and Wine's own services) already running.
    "$wineserver" -p
    PATH="$wine64_path" "$wine_run" --prefix "$prefix" cmd /c exit >/dev/null 2>&1 || true
    for arch in $arches; do
        wine_launch warm "$arch" setup >/dev/null
    done
    rm -f "$samples"/wine_warm_*
    for ((i = 0; i < RUNS; ++i)); do
        sample_load
        for arch in $arches; do
            for which in setup floor_display floor; do
                wine_launch warm "$arch" "$which"
            done
        done
    done
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true

    # Cold: Wine started from nothing for each launch (prefix already made).
    for ((i = 0; i < RUNS; ++i)); do
        sample_load
        for arch in $arches; do
            for which in setup floor_display floor; do
                wine_launch cold "$arch" "$which"
                "$wineserver" -k 2>/dev/null || true
                "$wineserver" -w 2>/dev/null || true
            done
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

# "<name> <floor>" pairs held to the target: the program against its floor
pairs="native_setup:native_floor_display a11y_native_setup:a11y_native_floor_display"
names="native_setup native_floor_display native_floor a11y_native_setup a11y_native_floor_display a11y_native_floor"
if [[ $WAYLAND == 1 ]]; then
    names="$names wayland_native_setup wayland_native_floor_display wayland_native_floor"
    pairs="$pairs wayland_native_setup:wayland_native_floor_display"
fi
if [[ $WINE == 1 ]]; then
    for mode in warm cold; do
        for arch in $arches; do
            names="$names wine_${mode}_${arch}_setup wine_${mode}_${arch}_floor_display wine_${mode}_${arch}_floor"
            pairs="$pairs wine_${mode}_${arch}_setup:wine_${mode}_${arch}_floor_display"
        done
    done
fi
echo "== load average, 1 minute, before each round of launches (median | min | max): $(stats "$samples/load" 1 1)"
# column, decimals, heading
for table in "1 0 start-up to a ready dialog (ms" "2 1 peak RSS to a ready dialog (MiB" \
    "3 0 CPU time of the program's own process to a ready dialog (ms"; do
    read -r column decimals heading <<<"$table"
    echo "== $heading: median | min | max)"
    for name in $names; do
        echo "$name | $(stats "$samples/$name" "$column" "$decimals")"
    done
done
echo "== each program against its floor (medians; the target, at most 1.2, is on start-up and peak RSS)"
for pair in $pairs; do
    for column in "1 start-up" "2 peak RSS" "3 CPU time"; do
        awk -v p="$(median "$samples/${pair%%:*}" "${column%% *}")" \
            -v f="$(median "$samples/${pair#*:}" "${column%% *}")" \
            -v what="${pair%%:*} / ${pair#*:}, ${column#* }" 'BEGIN { printf "%s: %.2fx\n", what, p / f }'
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
    for exe in "$build/velmora-config.exe" "$build/bench/floor_win32.exe" "$build/bench/floor_win32_display.exe"; do
        [[ -f "$exe" ]] && echo "$(stat -c %s "$exe") ${exe#"$root"/}"
    done
done
for pair in "x86_64:$WIN64_BUILD" "i686:$WIN32_BUILD"; do
    echo "-- sections of ${pair#*:}/velmora-config.exe"
    "${pair%%:*}-w64-mingw32-size" -A "${pair#*:}/velmora-config.exe" | awk 'NR > 2 && $2 > 0 {print $1, $2}'
done
echo "-- resources: $(stat -c %s setup/res/logo.bmp) logo.bmp, $(stat -c %s setup/res/setup.ico) setup.ico"
