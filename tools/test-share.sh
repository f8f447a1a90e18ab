#!/bin/bash
# Prints the share of test code (tests/ and fuzz/) in setup/ + tests/ + fuzz/,
# counting non-blank lines of C++, CMake, shell and Python, and fails above 36%.
set -euo pipefail
cd "$(dirname "$0")/.."

lines() {
    { git ls-files -- "$@" 2>/dev/null || find "$@" -type f; } |
        grep -E '\.(cpp|h|hpp|cc|c|sh|cmake|py)$|CMakeLists\.txt$' | tr '\n' '\0' | xargs -0 -r cat |
        grep -cv '^[[:space:]]*$' || true
}

program=$(lines setup)
tests=$(lines tests fuzz)
total=$((program + tests))
percent=$((100 * tests / total))
echo "test share: $tests of $total lines ($percent%)"
if ((100 * tests > 36 * total)); then
    echo "FAIL: test code is above 36% of the code" >&2
    exit 1
fi
