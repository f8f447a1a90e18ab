// What the OpenGL driver behind the display says about itself, asked through
// one EGL display on the windowing system SDL uses and one context made on it:
// the renderer, the driver's version, how many samples its window
// configurations can multisample with, and what it tells of its memory and
// its device.
#pragma once

#include <cstddef>
#include <cstdint>

// Colour layouts of the display formats the dialog knows.
enum PixelLayout : uint8_t {
    LAYOUT_A8R8G8B8 = 0,  // format 21
    LAYOUT_X8R8G8B8,      // format 22
    LAYOUT_R5G6B5,        // format 23
    LAYOUT_X1R5G5B5,      // format 24
    LAYOUT_COUNT
};

// A character device's number, as stat() gives it for a /dev/dri node.
struct DeviceNumber {
    bool known;
    uint32_t major;
    uint32_t minor;
};

struct GlDriverFacts {
    bool display_ready;       // an EGL display of the driver was initialised
    char renderer[256];       // GL_RENDERER, "" when no context could be made
    char version_text[256];   // GL_VERSION (or GL ES), "" when no context could be made
    uint64_t driver_version;  // four 16-bit parts taken from version_text, 0 when it names none
    // Highest EGL_SAMPLES among the configurations of each layout that can
    // render OpenGL to a window (a pbuffer where the display has no windows);
    // 0 when the layout has none or only single-sampled ones.
    int32_t max_samples[LAYOUT_COUNT];
    // The renderer draws on the CPU: by its name, or because EGL's device
    // for the display is a software one.
    bool software;
    // GL_NVX_gpu_memory_info's dedicated video memory, 0 when not told.
    uint64_t dedicated_bytes;
    // The display's device as EGL names it (EGL_EXT_device_drm): its primary
    // node ("/dev/dri/card1") and render node, "" when not told.
    char drm_node[64];
    char drm_render_node[64];
};

// Asks the driver. video_driver is SDL's current video driver name ("x11",
// "wayland", ...) or null. False when no EGL display could be initialised;
// `out` then says nothing is supported.
bool probe_gl_driver(const char* video_driver, GlDriverFacts* out);

// The driver's own version inside a GL_VERSION text, as four 16-bit parts
// highest first: "4.5 (Compatibility Profile) Mesa 22.3.6" gives 22.3.6.0,
// "4.6.0 NVIDIA 535.54.03" gives 535.54.3.0. 0 when the text names no driver
// version after the API version.
uint64_t driver_version_from_gl_text(const char* text);

// True for the renderers that draw on the CPU (llvmpipe, softpipe, lavapipe,
// swrast, and anything layered on them). Their "video memory" is the
// computer's main memory.
bool software_renderer(const char* renderer);

// stat() of a device node; unknown when it cannot be read or is no
// character device.
DeviceNumber device_number_of(const char* node);
