#!/bin/bash
# Runs a Windows program under Wine in a prefix of the build folder (never
# ~/.wine), starting a virtual X display when there is none. Used as CMake's
# cross-compiling emulator, so ctest runs the Windows tests like native ones.
#   wine-run.sh [--prefix DIR] program.exe [args...]
set -euo pipefail

prefix="${SETUP_WINEPREFIX:-}"
if [[ "${1:-}" == "--prefix" ]]; then
    prefix="$2"
    shift 2
fi
if [[ -z "$prefix" ]]; then
    echo "wine-run.sh: no prefix given (--prefix DIR or SETUP_WINEPREFIX)" >&2
    exit 2
fi
# Wine takes only an absolute prefix.
prefix="$(realpath -m "$prefix")"

# A 32-bit program (PE machine 0x014c) needs the kernel's 32-bit support and
# Wine's 32-bit loader; without them it is skipped (ctest: SKIP_RETURN_CODE 77).
wine32="${SETUP_WINE32_LOADER:-/usr/lib/wine/wine}"
if [[ -f "$1" && "$(od -An -tx1 -j "$(od -An -tu4 -j60 -N4 "$1")" -N6 "$1" | tr -d ' ')" == 504500004c01 ]] &&
    ! "$wine32" --version >/dev/null 2>&1; then
    echo "SKIPPED: $(basename "$1") (32-bit): this kernel or $wine32 cannot run 32-bit programs"
    exit 77
fi

if [[ -z "${DISPLAY:-}" ]]; then
    exec "$(dirname "$0")/virtual-display.sh" -- env SETUP_OWN_DISPLAY=1 "$0" --prefix "$prefix" "$@"
fi

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts in a fresh prefix, and a crash fails at
# once instead of waiting in the crash debugger.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
WINE="$(command -v wine)"
# Debian's /usr/bin/wine takes the 32-bit loader whenever wine32 is installed,
# even where the kernel cannot run it; 64-bit programs (the only ones that get
# here then: 32-bit ones were turned away above) go to the 64-bit loader.
if ! "$wine32" --version >/dev/null 2>&1 && [[ -x /usr/lib/wine/wine64 ]]; then
    WINE=/usr/lib/wine/wine64
    export WINELOADER="$WINE"
fi
WINESERVER="$(command -v wineserver || echo /usr/lib/wine/wineserver)"

mkdir -p "$(dirname "$prefix")"
# One-time prefix creation, serialised between parallel tests.
(
    flock 9
    if [[ ! -f "$prefix/system.reg" ]]; then
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        "$WINESERVER" -w 2>/dev/null || true
    fi
) 9>"$prefix.lock"

if [[ -n "${SETUP_OWN_DISPLAY:-}" ]]; then
    # The display ends with this script: the prefix's Wine session ends
    # first, or the next run would meet a server whose desktop lost its display.
    status=0
    "$WINE" "$@" || status=$?
    "$WINESERVER" -w
    exit "$status"
fi
exec "$WINE" "$@"
