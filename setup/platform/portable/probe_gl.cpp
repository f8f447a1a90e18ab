#include "probe_gl.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#ifdef SETUP_HAVE_EGL
#include <EGL/egl.h>
#include <EGL/eglext.h>
#endif

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Up to four dot-separated numbers from the start of `p`; each part saturates
// at 16 bits, which is all the identifier has room for.
uint64_t parse_parts(const char* p) {
    uint32_t parts[4] = {};
    int index = 0;
    while (index < 4 && is_digit(*p)) {
        uint32_t value = 0;
        while (is_digit(*p)) {
            value = value * 10 + static_cast<uint32_t>(*p - '0');
            if (value > 0xFFFF) value = 0xFFFF;
            ++p;
        }
        parts[index++] = value;
        if (*p != '.' || !is_digit(p[1])) break;
        ++p;
    }
    return (static_cast<uint64_t>(parts[0]) << 48) | (static_cast<uint64_t>(parts[1]) << 32) |
           (static_cast<uint64_t>(parts[2]) << 16) | parts[3];
}

// Start of the next blank-separated word at or after p.
const char* next_word(const char* p) {
    while (*p && *p != ' ') ++p;
    while (*p == ' ') ++p;
    return p;
}

}  // namespace

uint64_t driver_version_from_gl_text(const char* text) {
    if (!text) return 0;
    // Mesa names itself; anything before it is the API's version and profile.
    for (const char* p = text; *p; p = next_word(p))
        if (std::strncmp(p, "Mesa ", 5) == 0) {
            const char* v = next_word(p);
            return is_digit(*v) ? parse_parts(v) : 0;
        }
    // Otherwise "<api version> <vendor text>": the first number-led word after
    // the API version is the driver's.
    bool api_version_seen = false;
    for (const char* p = text; *p; p = next_word(p)) {
        if (!is_digit(*p)) continue;
        if (api_version_seen) return parse_parts(p);
        api_version_seen = true;
    }
    return 0;
}

#ifdef SETUP_HAVE_EGL

namespace {

using GetPlatformDisplay = EGLDisplay (*)(EGLenum, void*, const EGLint*);
using GetString = const unsigned char* (*)(unsigned int);
constexpr unsigned int GL_VERSION_ = 0x1F02;

void pause_briefly() {
    const timespec pause = {0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
}

bool has_word(const char* list, const char* word) {
    if (!list) return false;
    const size_t n = std::strlen(word);
    for (const char* p = list; (p = std::strstr(p, word)) != nullptr; p += n)
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == 0)) return true;
    return false;
}

// EGL displays are shared by the whole process: one that someone else has
// initialised is used as it is and left initialised.
bool initialise(EGLDisplay display, bool* ours) {
    if (display == EGL_NO_DISPLAY) return false;
    if (eglQueryString(display, EGL_VENDOR) != nullptr) {
        *ours = false;
        return true;
    }
    *ours = true;
    return eglInitialize(display, nullptr, nullptr) == EGL_TRUE;
}

EGLDisplay open_display(const char* video_driver, bool* windows, bool* ours) {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto get_platform_display = reinterpret_cast<GetPlatformDisplay>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!client || !get_platform_display) return EGL_NO_DISPLAY;

    // The windowing system SDL talks to first, so the answer is about the
    // driver that draws on this display.
    EGLenum platform = 0;
    if (video_driver && std::strcmp(video_driver, "x11") == 0 &&
        (has_word(client, "EGL_KHR_platform_x11") || has_word(client, "EGL_EXT_platform_x11")))
        platform = EGL_PLATFORM_X11_KHR;
    if (video_driver && std::strcmp(video_driver, "wayland") == 0 &&
        (has_word(client, "EGL_KHR_platform_wayland") || has_word(client, "EGL_EXT_platform_wayland")))
        platform = EGL_PLATFORM_WAYLAND_KHR;
    // A display server may turn a connection away right after another one
    // closed; it is asked again after a short pause.
    for (int attempt = 0; platform && attempt < 3; ++attempt) {
        if (attempt > 0) pause_briefly();
        EGLDisplay display = get_platform_display(platform, EGL_DEFAULT_DISPLAY, nullptr);
        if (initialise(display, ours)) {
            *windows = true;
            return display;
        }
    }
    // No windowing system EGL can reach (a console, another driver): the
    // driver without a display still answers for its off-screen surfaces.
    if (has_word(client, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (initialise(display, ours)) {
            *windows = false;
            return display;
        }
    }
    return EGL_NO_DISPLAY;
}

int layout_of(EGLint r, EGLint g, EGLint b, EGLint a) {
    if (r == 8 && g == 8 && b == 8) return a == 8 ? LAYOUT_A8R8G8B8 : (a == 0 ? LAYOUT_X8R8G8B8 : -1);
    if (r == 5 && g == 6 && b == 5 && a == 0) return LAYOUT_R5G6B5;
    if (r == 5 && g == 5 && b == 5 && (a == 0 || a == 1)) return LAYOUT_X1R5G5B5;
    return -1;
}

void read_configs(EGLDisplay display, EGLint surface_bit, GlDriverFacts* out) {
    EGLint count = 0;
    if (!eglGetConfigs(display, nullptr, 0, &count) || count <= 0) return;
    std::vector<EGLConfig> configs(static_cast<size_t>(count));
    if (!eglGetConfigs(display, configs.data(), count, &count)) return;
    for (EGLint i = 0; i < count; ++i) {
        EGLint r = 0, g = 0, b = 0, a = 0, samples = 0, surfaces = 0, renderable = 0, buffer = 0;
        EGLConfig c = configs[static_cast<size_t>(i)];
        eglGetConfigAttrib(display, c, EGL_RED_SIZE, &r);
        eglGetConfigAttrib(display, c, EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(display, c, EGL_BLUE_SIZE, &b);
        eglGetConfigAttrib(display, c, EGL_ALPHA_SIZE, &a);
        eglGetConfigAttrib(display, c, EGL_SAMPLES, &samples);
        eglGetConfigAttrib(display, c, EGL_SURFACE_TYPE, &surfaces);
        eglGetConfigAttrib(display, c, EGL_RENDERABLE_TYPE, &renderable);
        eglGetConfigAttrib(display, c, EGL_COLOR_BUFFER_TYPE, &buffer);
        if (buffer != EGL_RGB_BUFFER || !(surfaces & surface_bit) || !(renderable & EGL_OPENGL_BIT)) continue;
        const int layout = layout_of(r, g, b, a);
        if (layout < 0) continue;
        // An X8 layout is served as well by a configuration with alpha.
        if (layout == LAYOUT_A8R8G8B8 && samples > out->max_samples[LAYOUT_X8R8G8B8])
            out->max_samples[LAYOUT_X8R8G8B8] = samples;
        if (samples > out->max_samples[layout]) out->max_samples[layout] = samples;
    }
    for (int32_t& s : out->max_samples)
        if (s < 2) s = 0;
}

// Makes a context of `api` current on `display` and reads GL_VERSION.
bool read_version(EGLDisplay display, EGLenum api, GlDriverFacts* out) {
    if (!eglBindAPI(api)) return false;
    const char* ext = eglQueryString(display, EGL_EXTENSIONS);
    const EGLint es_attribs[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    const EGLint* attribs = api == EGL_OPENGL_ES_API ? es_attribs : nullptr;
    const EGLint renderable_bit = api == EGL_OPENGL_ES_API ? EGL_OPENGL_ES2_BIT : EGL_OPENGL_BIT;

    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    if (has_word(ext, "EGL_KHR_no_config_context") && has_word(ext, "EGL_KHR_surfaceless_context")) {
        context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attribs);
    }
    if (context == EGL_NO_CONTEXT) {
        const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, renderable_bit, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint n = 0;
        if (!eglChooseConfig(display, wanted, &config, 1, &n) || n < 1) return false;
        const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface = eglCreatePbufferSurface(display, config, size);
        if (surface == EGL_NO_SURFACE) return false;
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, attribs);
    }
    bool read = false;
    if (context != EGL_NO_CONTEXT && eglMakeCurrent(display, surface, surface, context)) {
        auto get_string = reinterpret_cast<GetString>(eglGetProcAddress("glGetString"));
        const unsigned char* text = get_string ? get_string(GL_VERSION_) : nullptr;
        if (text) {
            std::snprintf(out->version_text, sizeof out->version_text, "%s", reinterpret_cast<const char*>(text));
            read = true;
        }
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    return read;
}

}  // namespace

bool probe_gl_driver(const char* video_driver, GlDriverFacts* out) {
    std::memset(out, 0, sizeof *out);
    // Whatever this thread had current is put back afterwards.
    const EGLenum previous_api = eglQueryAPI();
    const EGLDisplay previous_display = eglGetCurrentDisplay();
    const EGLContext previous_context = eglGetCurrentContext();
    const EGLSurface previous_draw = eglGetCurrentSurface(EGL_DRAW);
    const EGLSurface previous_read = eglGetCurrentSurface(EGL_READ);

    bool windows = false;
    bool ours = false;
    EGLDisplay display = open_display(video_driver, &windows, &ours);
    if (display == EGL_NO_DISPLAY) return false;
    out->display_ready = true;
    read_configs(display, windows ? EGL_WINDOW_BIT : EGL_PBUFFER_BIT, out);
    if (read_version(display, EGL_OPENGL_API, out) || read_version(display, EGL_OPENGL_ES_API, out))
        out->driver_version = driver_version_from_gl_text(out->version_text);
    if (ours) eglTerminate(display);

    if (previous_context != EGL_NO_CONTEXT) {
        eglBindAPI(previous_api);
        eglMakeCurrent(previous_display, previous_draw, previous_read, previous_context);
    } else if (previous_api) {
        eglBindAPI(previous_api);
    }
    return true;
}

#else

bool probe_gl_driver(const char*, GlDriverFacts* out) {
    std::memset(out, 0, sizeof *out);
    return false;
}

#endif
