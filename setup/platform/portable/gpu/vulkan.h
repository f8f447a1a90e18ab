// The last place video memory is looked for: the Vulkan driver of the same
// device the OpenGL context runs on. The loader is opened only when asked,
// so neither it nor any Vulkan driver is loaded otherwise.
#pragma once

#include <cstdint>

#include "gpu/gl.h"

constexpr int VULKAN_MAX_DEVICES = 16;

// VkPhysicalDeviceType values, so callers need no Vulkan header.
constexpr uint32_t VULKAN_TYPE_CPU = 4;

struct VulkanDevice {
    char name[256];
    uint32_t type;         // VkPhysicalDeviceType
    uint64_t local_bytes;  // sum of the device-local heaps
    // DRM nodes the driver names (VK_EXT_physical_device_drm), unknown when it
    // does not.
    DeviceNumber primary;
    DeviceNumber render;
};

// Fills up to `max` devices in the loader's order. Returns how many, 0 when
// there is no Vulkan loader or driver.
int probe_vulkan_devices(VulkanDevice* out, int max);

// The device that runs the GL context: the one on the same DRM node when the
// context's device and the Vulkan driver both name theirs, otherwise the one
// the renderer names (see same_device_name). Never a CPU device; null when
// nothing matches or two devices match equally by name only and disagree on
// their memory.
const VulkanDevice* vulkan_device_for(const VulkanDevice* devices, int count, const char* gl_renderer,
                                      DeviceNumber gl_primary, DeviceNumber gl_render);

// Whether a GL renderer text and a Vulkan device name are the same product:
// compared up to the first " (" or "/", after a leading "Mesa ", so
// "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" is "Intel(R) UHD Graphics 620
// (KBL GT2)" and "NVIDIA GeForce RTX 3060/PCIe/SSE2" is "NVIDIA GeForce RTX
// 3060".
bool same_device_name(const char* gl_renderer, const char* vulkan_name);
