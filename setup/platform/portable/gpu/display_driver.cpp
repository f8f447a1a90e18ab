#include "gpu/display_driver.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "gpu/video_memory.h"

namespace {

DisplayDriver driver;
bool driver_known = false;

// SDL's stand-ins for a missing display: they invent a screen, so they
// count as no display at all.
bool stand_in_driver(const char* name) {
    return !name || std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0 ||
           std::strcmp(name, "evdev") == 0;
}

}  // namespace

bool open_display_video() {
    // The dialog's process owns its signals and its screen saver.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // A display server may turn a connection away right after another one
    // closed; it is asked again after a short pause before giving up.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) SDL_Delay(20);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) continue;
        if (!stand_in_driver(SDL_GetCurrentVideoDriver())) return true;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    return false;
}

void close_display_video() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

const DisplayDriver* display_driver() {
    if (driver_known) return &driver;
    // Starting SDL's video costs tens of milliseconds on an X display; the
    // reference taken here is kept, so the display objects that follow (one
    // right after this on a first start, another on each Autodetect) find it
    // running.
    if (!open_display_video()) return nullptr;
    probe_gl_driver(SDL_GetCurrentVideoDriver(), &driver.gl);
    driver.vram_bytes = 0;
    driver.vram_source = video_memory_of(driver.gl, "/sys", &driver.vram_bytes);
    driver_known = true;
    return &driver;
}

void adapter_description(const char* renderer, const char* output, char* out, size_t size) {
    if (!out || size == 0) return;
    const bool has_renderer = renderer && renderer[0];
    const bool has_output = output && output[0];
    if (has_renderer && has_output)
        std::snprintf(out, size, "%s (%s)", renderer, output);
    else
        std::snprintf(out, size, "%s", has_renderer ? renderer : (has_output ? output : ""));
}
