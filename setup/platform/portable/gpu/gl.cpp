#include "gpu/gl.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

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

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool is_alnum(char c) { return is_digit(c) || (lower(c) >= 'a' && lower(c) <= 'z'); }

// `word` (lower case) at p, ignoring case.
bool starts_with(const char* p, const char* word) {
    for (; *word; ++p, ++word)
        if (lower(*p) != *word) return false;
    return true;
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

bool software_renderer(const char* renderer) {
    if (!renderer) return false;
    if (starts_with(renderer, "software rasterizer")) return true;
    // Anywhere a word starts: layered drivers name the one beneath them,
    // e.g. "zink Vulkan 1.3(llvmpipe (LLVM 15.0.6, 256 bits))".
    static const char* const cpu_renderers[] = {"llvmpipe", "softpipe", "lavapipe", "swrast"};
    for (const char* p = renderer; *p; ++p) {
        if (p != renderer && is_alnum(p[-1])) continue;
        for (const char* name : cpu_renderers)
            if (starts_with(p, name)) return true;
    }
    return false;
}

DeviceNumber device_number_of(const char* node) {
    struct stat st {};
    if (!node || !node[0] || stat(node, &st) != 0 || !S_ISCHR(st.st_mode)) return DeviceNumber{};
    return DeviceNumber{true, major(st.st_rdev), minor(st.st_rdev)};
}

#ifdef SETUP_HAVE_EGL

namespace {

using GetPlatformDisplay = EGLDisplay (*)(EGLenum, void*, const EGLint*);
using GetString = const unsigned char* (*)(unsigned int);
using GetIntegerv = void (*)(unsigned int, int*);
using GetError = unsigned int (*)();
constexpr unsigned int GL_RENDERER_ = 0x1F01;
constexpr unsigned int GL_VERSION_ = 0x1F02;
constexpr unsigned int GL_EXTENSIONS_ = 0x1F03;
constexpr unsigned int GL_NO_ERROR_ = 0;
constexpr unsigned int GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX_ = 0x9047;  // KiB

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

// What the context tells: renderer, version, and its dedicated video memory
// where the driver has the NVIDIA memory-info extension (NVIDIA's driver and
// some Mesa drivers). GL_ATI_meminfo is not read: it tells free memory only,
// which is not the size of the memory.
void read_current_context(GlDriverFacts* out) {
    auto get_string = reinterpret_cast<GetString>(eglGetProcAddress("glGetString"));
    if (!get_string) return;
    const auto* renderer = reinterpret_cast<const char*>(get_string(GL_RENDERER_));
    const auto* version = reinterpret_cast<const char*>(get_string(GL_VERSION_));
    const auto* extensions = reinterpret_cast<const char*>(get_string(GL_EXTENSIONS_));
    if (renderer) std::snprintf(out->renderer, sizeof out->renderer, "%s", renderer);
    if (version) std::snprintf(out->version_text, sizeof out->version_text, "%s", version);
    if (!has_word(extensions, "GL_NVX_gpu_memory_info")) return;
    auto get_integer = reinterpret_cast<GetIntegerv>(eglGetProcAddress("glGetIntegerv"));
    auto get_error = reinterpret_cast<GetError>(eglGetProcAddress("glGetError"));
    if (!get_integer || !get_error) return;
    // A fresh context has no error pending: one after the query means the
    // driver did not answer it.
    int kib = 0;
    get_integer(GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX_, &kib);
    if (get_error() == GL_NO_ERROR_ && kib > 0) out->dedicated_bytes = static_cast<uint64_t>(kib) << 10;
}

// Makes a context of `api` current on `display` and reads what it tells.
bool read_context(EGLDisplay display, EGLenum api, GlDriverFacts* out) {
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
        read_current_context(out);
        read = out->version_text[0] != 0;
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    return read;
}

// The device EGL drives the display with (EGL_EXT_device_query): whether it
// is a software one, and its DRM nodes, which lead to what the kernel knows
// of the same device.
void read_device(EGLDisplay display, const char* client, GlDriverFacts* out) {
    if (!has_word(client, "EGL_EXT_device_query")) return;
    auto query_display =
        reinterpret_cast<PFNEGLQUERYDISPLAYATTRIBEXTPROC>(eglGetProcAddress("eglQueryDisplayAttribEXT"));
    auto query_device = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
    EGLAttrib device = 0;
    if (!query_display || !query_device || !query_display(display, EGL_DEVICE_EXT, &device) || !device) return;
    const auto egl_device = reinterpret_cast<EGLDeviceEXT>(device);
    const char* extensions = query_device(egl_device, EGL_EXTENSIONS);
    if (has_word(extensions, "EGL_MESA_device_software")) out->software = true;
    if (has_word(extensions, "EGL_EXT_device_drm")) {
        const char* node = query_device(egl_device, EGL_DRM_DEVICE_FILE_EXT);
        if (node) std::snprintf(out->drm_node, sizeof out->drm_node, "%s", node);
    }
    if (has_word(extensions, "EGL_EXT_device_drm_render_node")) {
        const char* node = query_device(egl_device, EGL_DRM_RENDER_NODE_FILE_EXT);
        if (node) std::snprintf(out->drm_render_node, sizeof out->drm_render_node, "%s", node);
    }
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
    read_device(display, eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), out);
    if (read_context(display, EGL_OPENGL_API, out) || read_context(display, EGL_OPENGL_ES_API, out))
        out->driver_version = driver_version_from_gl_text(out->version_text);
    if (software_renderer(out->renderer)) out->software = true;
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
