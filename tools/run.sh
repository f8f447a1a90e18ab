#!/bin/bash
# Builds the native program and runs it: the setup dialog in a real window.
# Installs only what building and running it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
install_missing_packages "${RUN_PACKAGES[@]}"

cmake --preset native -DSETUP_TESTS=OFF -DSETUP_BENCH=OFF >/dev/null
cmake --build --preset native --target setup
exec build/native/setup
