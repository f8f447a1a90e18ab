// The display and what its driver says, shared by the Direct3D-shaped and
// the DirectDraw-shaped back ends: SDL's video subsystem is started once on
// a real display, and the driver is asked once for the process.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gpu/gl.h"

struct DisplayDriver {
    GlDriverFacts gl;
    uint32_t vram_source;  // VRAM_SOURCE_* (gpu/video_memory.h)
    uint64_t vram_bytes;   // 0 unless a source answered
};

// Points SDL at the windowing system the dialog runs on (Qt's platform name:
// "wayland", "xcb"), so the probe lists the outputs the player sees; an
// SDL_VIDEODRIVER in the environment still wins.
void follow_dialog_platform(const char* qt_platform);

// Whether SDL's comma-separated driver list names `name`: whole items, any
// case, as SDL reads SDL_VIDEODRIVER.
bool sdl_driver_listed(const char* list, const char* name);

// Whether the Wayland display SDL would connect to (libwayland's choice:
// WAYLAND_SOCKET, else WAYLAND_DISPLAY, else wayland-0) offers a seat; true
// when there is none to reach, as SDL cannot start on it either; false when
// the compositor does not answer within `timeout_ms`.
bool wayland_seat_or_no_display(int timeout_ms);

// Starts SDL's video subsystem (one reference each; close_display_video
// gives it back). False when no real display can be reached: SDL's stand-ins
// for a missing display ("offscreen", "dummy", "evdev") count as none.
bool open_display_video();
void close_display_video();

// What the display's driver says, asked on first need and kept for the rest
// of the process; the video subsystem then stays up, so later display objects
// start at no cost. Null when no display can be reached (asked again next time).
const DisplayDriver* display_driver();

// The adapter's name: the renderer with the output in brackets,
// "AMD Radeon RX 6600 (DP-1)"; the output alone when no renderer is known.
void adapter_description(const char* renderer, const char* output, char* out, size_t size);
