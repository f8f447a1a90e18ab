# The Debian package of the Linux program (cpack --preset release): what
# `cmake --install` puts under /usr, with the binary stripped and the
# dependencies of its libraries found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora-setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "display, graphics and sound settings for Velmora")
set(CPACK_PACKAGE_DESCRIPTION "The configuration utility of the game Velmora: one dialog where the
player picks the display, resolution, colour depth, refresh rate,
antialiasing, texture, rendering and sound options, stored where the
game reads them. Only what the machine can do is offered.")
set(CPACK_PACKAGE_CONTACT "Brannick Velmora setup <setup@brannick.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)  # games wants a game in /usr/games
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://brannick.com/velmora/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries do not tell: Qt's X11 platform plugin, which it loads at
# run time, and the font the layout is measured with, Liberation Sans Narrow:
# part of fonts-liberation up to Debian 12, a package of its own from Debian 13.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation (<< 1:2) | fonts-liberation-sans-narrow")
# The display's own EGL/GL driver and the Vulkan loader, asked for the video
# memory; Qt's Wayland platform plugin, without which a Wayland session shows
# the dialog through XWayland instead.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libegl-mesa0, libgl1-mesa-dri, libvulkan1, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
