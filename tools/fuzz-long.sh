#!/bin/bash
# Longer fuzzing than the test command's short runs, and what to do with it.
#   tools/fuzz-long.sh [seconds per target] [target...]   run (default 600 s, all targets)
#   tools/fuzz-long.sh --merge                              fold the new inputs into fuzz/corpus
#   tools/fuzz-long.sh --coverage                           line coverage of the core by fuzz/corpus
# Runs use one core each at most (-jobs is left alone), keep what they find in
# build/fuzz/work/<target> and leave crashes in build/fuzz/artifacts/.
set -uo pipefail
cd "$(dirname "$(realpath "$0")")/.."
all=()
for source in fuzz/fuzz_*.cpp; do all+=("$(basename "$source" .cpp)"); done

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz >/dev/null || exit 1
mkdir -p build/fuzz/artifacts

case "${1:-}" in
--merge)
    # The inputs that reach every coverage feature the current corpus and the
    # work folder reach together: each is a path the replay in every native
    # test run checks the invariants on.
    for t in "${all[@]}"; do
        fresh=$(mktemp -d)
        mkdir -p "build/fuzz/work/$t"
        "build/fuzz/$t" -merge=1 -detect_leaks=0 "$fresh" "fuzz/corpus/$t" "build/fuzz/work/$t" \
            >"build/fuzz/work/$t.merge.log" 2>&1 || { echo "merge failed: $t"; exit 1; }
        # Merged inputs are named by their SHA-1. Hand-written seeds (other
        # names) always stay; hashed ones stay only while still needed.
        for f in "fuzz/corpus/$t"/*; do
            name=$(basename "$f")
            [[ $name =~ ^[0-9a-f]{40}$ && ! -e "$fresh/$name" ]] && rm -f "$f"
        done
        known=$(sha1sum "fuzz/corpus/$t"/* 2>/dev/null | cut -d' ' -f1)
        for f in "$fresh"/*; do
            [[ -e $f ]] || continue
            grep -qx "$(basename "$f")" <<<"$known" || cp "$f" "fuzz/corpus/$t/"
        done
        rm -rf "$fresh"
        echo "$t: $(ls "fuzz/corpus/$t" | wc -l) inputs in fuzz/corpus/$t"
    done
    ;;
--coverage)
    # Source-based coverage of a plain (unsanitized) build replaying the corpus.
    out=build/fuzz-coverage
    cmake -S . -B "$out" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
        -DSETUP_FUZZ=ON -DSETUP_TESTS=OFF -DSETUP_PROGRAM=OFF -DSETUP_BACKENDS=OFF \
        "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -fprofile-instr-generate -fcoverage-mapping" \
        "-DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate" >/dev/null || exit 1
    cmake --build "$out" >/dev/null || exit 1
    rm -f "$out"/*.profraw
    objects=()
    for t in "${all[@]}"; do
        LLVM_PROFILE_FILE="$out/$t.profraw" "$out/$t" -runs=0 "fuzz/corpus/$t" >/dev/null 2>&1
        objects+=(-object "$out/$t")
    done
    profdata=$(command -v llvm-profdata || command -v llvm-profdata-14)
    cov=$(command -v llvm-cov || command -v llvm-cov-14)
    "$profdata" merge -o "$out/corpus.profdata" "$out"/*.profraw || exit 1
    "$cov" report "${objects[@]:1}" -instr-profile="$out/corpus.profdata" setup/settings setup/app setup/probe \
        setup/dialog setup/platform/portable/registry_portable.cpp
    echo "Line by line: $cov show ${objects[*]:1} -instr-profile=$out/corpus.profdata setup/"
    ;;
*)
    seconds=${1:-600}
    shift || true
    targets=("$@")
    ((${#targets[@]})) || targets=("${all[@]}")
    status=0
    for t in "${targets[@]}"; do
        mkdir -p "build/fuzz/work/$t"
        echo "=== $t for $seconds s"
        "build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=4096 -len_control=20 -print_final_stats=1 \
            -artifact_prefix="build/fuzz/artifacts/$t-" "build/fuzz/work/$t" "fuzz/corpus/$t" 2>&1 |
            grep -E 'DONE|invariant broken|ERROR|SUMMARY|stat::number_of_executed_units|Test unit written' || true
        [[ ${PIPESTATUS[0]} == 0 ]] || status=1
    done
    echo "New inputs: build/fuzz/work/<target> (tools/fuzz-long.sh --merge keeps the useful ones)."
    exit $status
    ;;
esac
