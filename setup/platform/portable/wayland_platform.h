// One rule for "is this Wayland?", for the host, the display probe and the
// entry alike.
#pragma once

#include <string_view>

// A Qt platform name (or QT_QPA_PLATFORM's list, first choice first) that
// names Wayland: "wayland", "wayland-egl", "wayland-brcm", ...
inline bool is_wayland_platform(std::string_view qt_platform) { return qt_platform.starts_with("wayland"); }
