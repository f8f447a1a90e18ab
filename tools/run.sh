#!/bin/bash
# Builds the native program and runs it: the setup dialog in a real window.
# Installs only what building and running it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
install_missing_packages "${RUN_PACKAGES[@]}"

# The release preset (no tests): build/native keeps the test build intact.
cmake --preset release >/dev/null
cmake --build --preset release --target velmora-setup
exec build/release/velmora-setup "$@"
