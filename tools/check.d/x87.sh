#!/bin/bash
# The 4:3 filter's borderline sizes built as a 32-bit x86 program, whose
# floating point is x87 with excess precision, as in the shipped i686
# Windows build: the filter must answer the same there (GCC 13 and later
# once moved it). Runs natively where the kernel runs 32-bit programs, else
# under qemu-i386.
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/../.."
out=build/x87
mkdir -p "$out"
mapfile -t sources < <(ls setup/settings/*.cpp setup/app/*.cpp setup/probe/*.cpp setup/dialog/*.cpp \
    setup/platform/platform.cpp | grep -v -e /winmain.cpp -e /main_portable.cpp)
g++ -m32 -march=i686 -mfpmath=387 -std=c++20 -O2 -static -Wall -Wextra -Werror -Isetup -Itests/fakes \
    "${sources[@]}" tests/fakes/fakes.cpp tests/probe/mode_filter_sizes_main.cpp -o "$out/mode_filter_sizes"
run=()
"$out/mode_filter_sizes" >/dev/null 2>&1 || run=(qemu-i386)
echo "x87 ($(g++ -dumpfullversion), ${run[*]:-native}):"
output=$("${run[@]}" "$out/mode_filter_sizes") || { echo "$output"; exit 1; }
tail -n 1 <<<"$output"
