#!/bin/bash
# Installs the Debian packages that are missing. Sourced by tools/run.sh
# (RUN_PACKAGES: building and running the native program) and tools/check.sh
# (RUN_PACKAGES and TEST_PACKAGES: every build and every test).
set -euo pipefail

RUN_PACKAGES=(
    cmake ninja-build g++ pkg-config
    # the Qt host, the SDL2 probe and the graphics driver it asks
    qt6-base-dev libsdl2-dev libegl-dev libgl-dev libvulkan-dev libdrm-dev libxcb1-dev
    libegl-mesa0 libgl1-mesa-dri
    # Wayland: the dialog as a native client (as the package has it), and the
    # probe's seat check
    qt6-wayland libwayland-dev
)
# The dialog's font, Liberation Sans Narrow: part of fonts-liberation up to
# Debian 12, a package of its own from Debian 13.
release=$(. /etc/os-release && echo "${VERSION_ID:-99}")  # testing and unstable have none
if ((${release%%.*} >= 13)); then
    RUN_PACKAGES+=(fonts-liberation-sans-narrow)
else
    RUN_PACKAGES+=(fonts-liberation)
fi

TEST_PACKAGES=(
    # tests, benchmarks, sanitizers (llvm: the symbolizer LeakSanitizer's
    # suppressions need), fuzzing and static analysis
    googletest libgtest-dev libbenchmark-dev clang libclang-rt-dev llvm clang-tidy cppcheck valgrind python3
    # the mode filter as a 32-bit x87 program (tools/check.d/x87.sh), under qemu where the kernel runs no 32-bit
    g++-multilib qemu-user
    # the release check: the commit's time and files, the version resource
    git python3-pefile
    # Windows programs: cross compilers and Wine, 64- and 32-bit (32-bit Wine
    # needs the 32-bit GL driver for Direct3D; fonts-wine draws its dialogs)
    mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 fonts-wine
    # a virtual display, real input, screenshots, the installed desktop entry
    xvfb xauth x11-utils x11-xserver-utils xdotool libxtst-dev imagemagick fonts-dejavu-core
    mesa-vulkan-drivers desktop-file-utils
    # a Wayland compositor for the end-to-end test (weston's X11 back end on the virtual display)
    weston
    # the Debian package: CPack's shlibdeps (dpkg-dev, file), AppStream, the man page, lintian
    dpkg-dev file appstream man-db groff-base lintian
    # the dialog through a screen reader's eyes: AT-SPI on a D-Bus session
    at-spi2-core python3-pyatspi dbus-daemon
)
# sway 1.8 and later (Debian 13) offer a fractional scale: the end-to-end case
# at 1.5 and tools/screenshot-sway.sh. Debian 12's sway 1.7 has none, and the
# case skips there, so it is not installed for nothing.
if ((${release%%.*} >= 13)); then
    TEST_PACKAGES+=(sway wtype grim)
fi

# install_missing_packages <package>...
install_missing_packages() {
    local missing=() p sudo=()
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    ((${#missing[@]})) || return 0
    echo "Installing missing packages: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
    # 32-bit Wine comes from the i386 architecture.
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
