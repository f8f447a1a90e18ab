#include "gpu/video_memory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gpu/vulkan.h"

namespace {

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

// "card<digits>" or "renderD<digits>": nothing else is looked up in sysfs.
bool drm_node_name(const char* name) {
    const char* digits = nullptr;
    if (std::strncmp(name, "card", 4) == 0) digits = name + 4;
    if (std::strncmp(name, "renderD", 7) == 0) digits = name + 7;
    if (!digits || !*digits) return false;
    for (const char* p = digits; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

bool vram_from_vulkan(const GlDriverFacts& gl, uint64_t* bytes) {
    VulkanDevice devices[VULKAN_MAX_DEVICES];
    const int count = probe_vulkan_devices(devices, VULKAN_MAX_DEVICES);
    const VulkanDevice* device = vulkan_device_for(devices, count, gl.renderer, device_number_of(gl.drm_node),
                                                   device_number_of(gl.drm_render_node));
    if (!device || device->local_bytes == 0) return false;
    *bytes = device->local_bytes;
    return true;
}

}  // namespace

bool vram_from_drm_node(const char* sysfs_root, const char* node, uint64_t* bytes) {
    if (!node) return false;
    const char* slash = std::strrchr(node, '/');
    const char* name = slash ? slash + 1 : node;
    if (!drm_node_name(name)) return false;
    char path[1024];
    std::snprintf(path, sizeof path, "%s/class/drm/%s/device/mem_info_vram_total", sysfs_root ? sysfs_root : "/sys",
                  name);
    uint64_t total = 0;
    if (!read_number(path, &total) || total == 0) return false;
    *bytes = total;
    return true;
}

uint32_t video_memory_of(const GlDriverFacts& gl, const char* sysfs_root, uint64_t* bytes) {
    // A renderer on the CPU reports main memory, which would put a machine
    // without a graphics card in the top autodetect tier.
    if (gl.software) return VRAM_SOURCE_NONE;
    if (gl.dedicated_bytes > 0) {
        *bytes = gl.dedicated_bytes;
        return VRAM_SOURCE_GL;
    }
    if (vram_from_drm_node(sysfs_root, gl.drm_node, bytes) || vram_from_drm_node(sysfs_root, gl.drm_render_node, bytes))
        return VRAM_SOURCE_DRM;
    // Vulkan can only be matched to a device the context named.
    if (!gl.renderer[0] && !gl.drm_node[0] && !gl.drm_render_node[0]) return VRAM_SOURCE_NONE;
    if (vram_from_vulkan(gl, bytes)) return VRAM_SOURCE_VULKAN;
    return VRAM_SOURCE_NONE;
}
