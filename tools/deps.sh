#!/bin/bash
# Installs the Debian packages the build and the tests need, when missing.
# Sourced by tools/run.sh and tools/check.sh.
set -euo pipefail

SETUP_PACKAGES=(
    # toolchains and build
    cmake ninja-build g++ pkg-config clang clang-tidy cppcheck libclang-rt-14-dev
    # tests and benchmarks
    googletest libgtest-dev libbenchmark-dev valgrind
    # native program: Qt host, SDL2 probe, graphics drivers
    qt6-base-dev libsdl2-dev libvulkan-dev libegl-dev libgl-dev libdrm-dev
    mesa-vulkan-drivers libegl-mesa0 libgl1-mesa-dri fonts-dejavu-core fonts-liberation
    # Windows program: cross compilers and Wine
    mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64
    # a display for tests, screenshots and driving windows
    xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick
)

setup_missing_packages() {
    local missing=()
    local p
    for p in "${SETUP_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if ((${#missing[@]})); then
        echo "Installing missing packages: ${missing[*]}"
        local sudo=()
        if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}
