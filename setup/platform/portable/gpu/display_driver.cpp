#include "gpu/display_driver.h"

#include <SDL.h>

#include <poll.h>
#include <strings.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef SETUP_HAVE_WAYLAND
#include <wayland-client.h>
#endif

#include "gpu/video_memory.h"
#include "wayland_platform.h"

namespace {

DisplayDriver driver;
bool driver_known = false;

// SDL's stand-ins for a missing display: they invent a screen, so they
// count as no display at all.
bool stand_in_driver(const char* name) {
    return !name || sdl_driver_listed(name, "offscreen") || sdl_driver_listed(name, "dummy") ||
           sdl_driver_listed(name, "evdev");
}

#ifdef SETUP_HAVE_WAYLAND
// How long the compositor has to answer whether it has a seat; it answers
// in milliseconds, or has hung.
constexpr int WAYLAND_ANSWER_MS = 2000;

// One round trip to the compositor, waited for at most `timeout_ms`:
// wl_display_roundtrip waits for ever on one that has stopped answering.
bool roundtrip_within(wl_display* display, int timeout_ms) {
    static const wl_callback_listener on_done = {
        .done = [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback* callback = wl_display_sync(display);
    if (!callback) return false;
    bool done = false;
    wl_callback_add_listener(callback, &on_done, &done);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool failed = false;
    while (!done && !failed) {
        if (wl_display_prepare_read(display) != 0) {  // events already queued
            failed = wl_display_dispatch_pending(display) < 0;
            continue;
        }
        // Requests that do not fit the socket yet wait for it to drain.
        const bool unsent = wl_display_flush(display) < 0;
        if (unsent && errno != EAGAIN) {
            wl_display_cancel_read(display);
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd fd{wl_display_get_fd(display), static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)), 0};
        const int ready = left > 0 ? ::poll(&fd, 1, static_cast<int>(left)) : 0;
        if (ready > 0 && (fd.revents & POLLIN)) {
            failed = wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0;
            continue;
        }
        // Interrupted, or room to send (flushed on the next turn); else no
        // answer in time, or the connection broke.
        const bool again = (ready < 0 && errno == EINTR) || (ready > 0 && (fd.revents & POLLOUT));
        wl_display_cancel_read(display);
        failed = !again;
    }
    wl_callback_destroy(callback);
    return done;
}
#endif

// SDL before 2.30 crashes starting its Wayland back end on a compositor
// without a seat (no input devices: a headless or kiosk compositor); it
// dereferences the seat's missing input state in Wayland_InitMouse. There,
// and only there, SDL is kept to X11, whatever was asked for.
void keep_sdl_off_seatless_wayland() {
#ifdef SETUP_HAVE_WAYLAND
    static bool checked = false;
    if (checked) return;
    checked = true;
    SDL_version linked;
    SDL_GetVersion(&linked);
    if (SDL_VERSIONNUM(linked.major, linked.minor, linked.patch) >= SDL_VERSIONNUM(2, 30, 0)) return;
    const char* wanted = SDL_GetHint(SDL_HINT_VIDEODRIVER);  // the environment's or ours
    if (wanted && !sdl_driver_listed(wanted, "wayland")) return;
    if (!wayland_seat_or_no_display(WAYLAND_ANSWER_MS))
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
#endif
}

}  // namespace

bool sdl_driver_listed(const char* list, const char* name) {
    if (!list || !name) return false;
    const size_t length = std::strlen(name);
    for (const char* item = list;;) {
        const char* comma = std::strchr(item, ',');
        const size_t item_length = comma ? static_cast<size_t>(comma - item) : std::strlen(item);
        if (item_length == length && strncasecmp(item, name, length) == 0) return true;
        if (!comma) return false;
        item = comma + 1;
    }
}

bool wayland_seat_or_no_display(int timeout_ms) {
#ifdef SETUP_HAVE_WAYLAND
    // libwayland complains on stderr without a runtime folder to look in; a
    // socket handed over in WAYLAND_SOCKET needs none, and comes first.
    if (!std::getenv("WAYLAND_SOCKET") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("XDG_RUNTIME_DIR"))
        return true;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return true;
    bool seat = false;
    static const wl_registry_listener listener = {
        .global = [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
            if (std::strcmp(interface, "wl_seat") == 0) *static_cast<bool*>(data) = true;
        },
        .global_remove = [](void*, wl_registry*, uint32_t) {}};
    wl_registry* registry = wl_display_get_registry(display);
    if (registry) wl_registry_add_listener(registry, &listener, &seat);
    // A compositor that does not answer in time counts as one without a seat.
    const bool answered = registry && roundtrip_within(display, timeout_ms);
    if (registry) wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered && seat;
#else
    (void)timeout_ms;
    return true;
#endif
}

void follow_dialog_platform(const char* qt_platform) {
    if (!qt_platform) return;
    // At normal priority the hint yields to SDL_VIDEODRIVER in the
    // environment: the player's choice stands. XWayland's view of a Wayland
    // output is still better than none.
    if (is_wayland_platform(qt_platform))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
    else if (std::strcmp(qt_platform, "xcb") == 0)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
}

bool open_display_video() {
    // The dialog's process owns its signals and its screen saver.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // No SDL window is ever shown, so no decorations are needed: without
    // libdecor SDL does not look for its plugins (nor complain on stderr when
    // there are none).
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    keep_sdl_off_seatless_wayland();
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
