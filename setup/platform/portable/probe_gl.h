// What the OpenGL driver behind the display offers, asked through EGL on the
// same windowing system SDL uses: the driver's version and how many samples
// its window configurations can multisample with, per colour layout.
#pragma once

#include <cstdint>

// Colour layouts of the display formats the dialog knows.
enum PixelLayout : int {
    LAYOUT_A8R8G8B8 = 0,  // format 21
    LAYOUT_X8R8G8B8,      // format 22
    LAYOUT_R5G6B5,        // format 23
    LAYOUT_X1R5G5B5,      // format 24
    LAYOUT_COUNT
};

struct GlDriverFacts {
    bool display_ready;        // an EGL display of the driver was initialised
    char version_text[256];    // GL_VERSION (or GL ES), "" when no context could be made
    uint64_t driver_version;   // four 16-bit parts taken from version_text, 0 when it names none
    // Highest EGL_SAMPLES among the configurations of each layout that can
    // render OpenGL to a window (a pbuffer where the display has no windows);
    // 0 when the layout has none or only single-sampled ones.
    int32_t max_samples[LAYOUT_COUNT];
};

// Asks the driver once. video_driver is SDL's current video driver name
// ("x11", "wayland", ...) or null. False when no EGL display could be
// initialised; `out` then says nothing is supported.
bool probe_gl_driver(const char* video_driver, GlDriverFacts* out);

// The driver's own version inside a GL_VERSION text, as four 16-bit parts
// highest first: "4.5 (Compatibility Profile) Mesa 22.3.6" gives 22.3.6.0,
// "4.6.0 NVIDIA 535.54.03" gives 535.54.3.0. 0 when the text names no driver
// version after the API version.
uint64_t driver_version_from_gl_text(const char* text);
