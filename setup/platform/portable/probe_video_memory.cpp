#include "probe_video_memory.h"

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "probe_vulkan.h"

#if defined(SETUP_HAVE_X11) && defined(SETUP_HAVE_GL)
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/Xlib.h>
#endif

namespace {

uint32_t chosen_sources = VRAM_SOURCE_ALL;
char chosen_root[512] = "/sys";

// A whole file of one decimal number, as sysfs writes them.
bool read_number(const char* path, uint64_t* value) {
    FILE* f = std::fopen(path, "r");
    if (!f) return false;
    char text[64] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = 0;
    char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(p, &end, 10);
    if (errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t' || *end == '\n') ++end;
    if (*end) return false;
    *value = parsed;
    return true;
}

// "card" followed by digits only (connectors are "card0-HDMI-A-1").
bool card_number(const char* name, long* number) {
    if (std::strncmp(name, "card", 4) != 0 || name[4] < '0' || name[4] > '9') return false;
    char* end = nullptr;
    const long n = std::strtol(name + 4, &end, 10);
    if (*end) return false;
    *number = n;
    return true;
}

}  // namespace

bool vram_from_vulkan(uint64_t* bytes) {
    VulkanDevice devices[VULKAN_MAX_DEVICES];
    const int count = probe_vulkan_devices(devices, VULKAN_MAX_DEVICES);
    const VulkanDevice* device = vulkan_display_device(devices, count);
    if (!device || device->local_bytes == 0) return false;
    *bytes = device->local_bytes;
    return true;
}

#if defined(SETUP_HAVE_X11) && defined(SETUP_HAVE_GL)

bool glx_renderer_memory(uint32_t* megabytes, bool* accelerated) {
    // A display server may turn a connection away right after another one
    // closed; it is asked again after a short pause.
    if (!std::getenv("DISPLAY")) return false;
    Display* display = nullptr;
    for (int attempt = 0; !display && attempt < 3; ++attempt) {
        if (attempt > 0) {
            const timespec pause = {0, 20 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        display = XOpenDisplay(nullptr);
    }
    if (!display) return false;
    const int screen = DefaultScreen(display);
    bool answered = false;
    const char* extensions = glXQueryExtensionsString(display, screen);
    auto query = reinterpret_cast<PFNGLXQUERYRENDERERINTEGERMESAPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXQueryRendererIntegerMESA")));
    if (extensions && std::strstr(extensions, "GLX_MESA_query_renderer") && query) {
        unsigned int memory = 0;
        unsigned int hardware = 0;
        if (query(display, screen, 0, GLX_RENDERER_VIDEO_MEMORY_MESA, &memory) &&
            query(display, screen, 0, GLX_RENDERER_ACCELERATED_MESA, &hardware)) {
            *megabytes = memory;
            *accelerated = hardware != 0;
            answered = true;
        }
    }
    XCloseDisplay(display);
    return answered;
}

#else

bool glx_renderer_memory(uint32_t*, bool*) { return false; }

#endif

bool vram_from_glx(uint64_t* bytes) {
    uint32_t megabytes = 0;
    bool accelerated = false;
    if (!glx_renderer_memory(&megabytes, &accelerated) || !accelerated || megabytes == 0) return false;
    *bytes = static_cast<uint64_t>(megabytes) << 20;
    return true;
}

bool vram_from_drm(const char* sysfs_root, uint64_t* bytes) {
    char path[1024];
    std::snprintf(path, sizeof path, "%s/class/drm", sysfs_root ? sysfs_root : "/sys");
    DIR* dir = opendir(path);
    if (!dir) return false;
    long lowest = -1;
    long boot = -1;
    while (const dirent* entry = readdir(dir)) {
        long number = 0;
        if (!card_number(entry->d_name, &number)) continue;
        if (lowest < 0 || number < lowest) lowest = number;
        std::snprintf(path, sizeof path, "%s/class/drm/card%ld/device/boot_vga", sysfs_root ? sysfs_root : "/sys",
                      number);
        uint64_t flag = 0;
        if (read_number(path, &flag) && flag == 1 && (boot < 0 || number < boot)) boot = number;
    }
    closedir(dir);
    // The device the firmware put the console on is the primary display
    // device; without that mark, the first card.
    const long card = boot >= 0 ? boot : lowest;
    if (card < 0) return false;
    std::snprintf(path, sizeof path, "%s/class/drm/card%ld/device/mem_info_vram_total",
                  sysfs_root ? sysfs_root : "/sys", card);
    uint64_t total = 0;
    if (!read_number(path, &total) || total == 0) return false;
    *bytes = total;
    return true;
}

uint32_t probe_video_memory(uint32_t sources, const char* sysfs_root, uint64_t* bytes) {
    if ((sources & VRAM_SOURCE_VULKAN) && vram_from_vulkan(bytes)) return VRAM_SOURCE_VULKAN;
    if ((sources & VRAM_SOURCE_GLX) && vram_from_glx(bytes)) return VRAM_SOURCE_GLX;
    if ((sources & VRAM_SOURCE_DRM) && vram_from_drm(sysfs_root, bytes)) return VRAM_SOURCE_DRM;
    return VRAM_SOURCE_NONE;
}

void set_video_memory_sources(uint32_t sources, const char* sysfs_root) {
    chosen_sources = sources;
    std::snprintf(chosen_root, sizeof chosen_root, "%s", sysfs_root ? sysfs_root : "/sys");
}

uint32_t probe_chosen_video_memory(uint64_t* bytes) { return probe_video_memory(chosen_sources, chosen_root, bytes); }
