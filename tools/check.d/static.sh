#!/bin/bash
# Static analysis of the project's own code: clang-tidy (.clang-tidy) and
# cppcheck (tools/cppcheck-suppressions.txt). Native sources are analysed with
# build/native's compile commands, the Win32 back ends with build/windows-x64's
# (clang-tidy reads the mingw headers). Any finding fails.
set -uo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
jobs=${SETUP_STATIC_JOBS:-2}
status=0

ensure_compile_commands() {  # preset, build folder
    if [[ ! -f "$2/compile_commands.json" ]]; then
        cmake --preset "$1" >/dev/null || return 1
    fi
    # Generated sources (moc) must exist before clang-tidy reads the files.
    cmake --build "$2" --target setup_core >/dev/null 2>&1 || true
    if [[ "$1" == native ]]; then
        cmake --build "$2" --target setup_portable_autogen >/dev/null 2>&1 || true
    fi
}

# The project's own translation units of a compile database (no generated files).
own_sources() {  # build folder, path pattern
    python3 - "$1/compile_commands.json" "$2" <<'PY'
import json, os, re, sys
root = os.getcwd() + "/"
pattern = re.compile(sys.argv[2])
seen = set()
for entry in json.load(open(sys.argv[1])):
    f = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = f[len(root):] if f.startswith(root) else None
    if rel and pattern.match(rel) and rel not in seen:
        seen.add(rel)
        print(rel)
PY
}

# ---------------------------------------------------------------- clang-tidy
# Runs clang-tidy over files of one compile database, $jobs at a time; prints
# and fails on any finding or any file it could not analyse.
tidy() {  # build folder, extra arguments..., -- files...
    local db=$1 args=() files=() logs f log running=0 rc=0
    shift
    while (($#)) && [[ $1 != -- ]]; do args+=("$1"); shift; done
    shift
    files=("$@")
    ((${#files[@]})) || return 0
    logs=$(mktemp -d)
    for f in "${files[@]}"; do
        log="$logs/${f//\//_}.log"
        (clang-tidy --quiet --use-color=false -p "$db" "${args[@]}" "$PWD/$f" >"$log" 2>&1 ||
            echo "clang-tidy failed on $f" >>"$log") &
        if ((++running >= jobs)); then
            wait -n
            running=$((running - 1))
        fi
    done
    wait
    for log in "$logs"/*.log; do
        if grep -qE '(warning|error):|^clang-tidy failed' "$log"; then
            grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated|^Suppressed|^Use -header-filter' "$log"
            rc=1
        fi
    done
    rm -rf "$logs"
    return $rc
}

echo "--- clang-tidy (native)"
ensure_compile_commands native build/native || status=1
mapfile -t native_files < <(own_sources build/native '^(setup|tests/fakes)/.*\.cpp$')
tidy build/native -- "${native_files[@]}" || status=1

echo "--- clang-tidy (fuzz targets)"
if [[ -f build/fuzz/compile_commands.json ]] || cmake --preset fuzz >/dev/null; then
    mapfile -t fuzz_files < <(own_sources build/fuzz '^fuzz/.*\.cpp$')
    tidy build/fuzz -- "${fuzz_files[@]}" || status=1
fi

if command -v x86_64-w64-mingw32-g++ >/dev/null; then
    echo "--- clang-tidy (Win32 back ends)"
    ensure_compile_commands windows-x64 build/windows-x64 || status=1
    # clang finds the mingw C headers by itself; the C++ library headers it is told.
    extra=()
    while read -r dir; do extra+=("--extra-arg-before=-isystem$dir"); done < <(
        echo | x86_64-w64-mingw32-g++ -std=c++20 -E -x c++ - -v 2>&1 |
            sed -n '/#include <...> search starts here/,/End of search list/p' | grep '^ /.*/c++' | sed 's/^ //')
    mapfile -t win_files < <(own_sources build/windows-x64 '^setup/(platform/win32|app/winmain).*\.cpp$')
    tidy build/windows-x64 "${extra[@]}" -- "${win_files[@]}" || status=1
fi

# ---------------------------------------------------------------- cppcheck
echo "--- cppcheck"
if ! cppcheck --quiet --std=c++20 --language=c++ --enable=warning,performance,portability --inconclusive \
        -j "$jobs" -I setup -I tests/fakes -I fuzz \
        --suppressions-list=tools/cppcheck-suppressions.txt \
        --error-exitcode=1 --template='{file}:{line}: {severity} ({id}): {message}' \
        setup tests/fakes fuzz; then
    status=1
fi

echo "static analysis: $((SECONDS - start)) s, $([[ $status == 0 ]] && echo clean || echo FINDINGS)"
exit $status
