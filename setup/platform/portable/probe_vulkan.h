// What the Vulkan loader can tell about the machine's graphics devices, read
// once per call: names, kinds, driver versions and device-local memory.
#pragma once

#include <cstdint>

constexpr int VULKAN_MAX_DEVICES = 16;

// VkPhysicalDeviceType values, so callers need no Vulkan header.
constexpr uint32_t VULKAN_TYPE_OTHER = 0;
constexpr uint32_t VULKAN_TYPE_INTEGRATED = 1;
constexpr uint32_t VULKAN_TYPE_DISCRETE = 2;
constexpr uint32_t VULKAN_TYPE_VIRTUAL = 3;
constexpr uint32_t VULKAN_TYPE_CPU = 4;

struct VulkanDevice {
    char name[256];
    uint32_t type;            // VULKAN_TYPE_*
    uint32_t vendor_id;       // PCI vendor id (or a Khronos vendor id)
    uint32_t driver_version;  // as the driver reports it, vendor-encoded
    uint64_t local_bytes;     // sum of the device-local heaps
};

// Fills up to `max` devices in the loader's order (the default device first
// when the system orders them). Returns how many, 0 when Vulkan is absent.
int probe_vulkan_devices(VulkanDevice* out, int max);

// The device that drives the display: the first that is not a CPU renderer,
// or null. A software renderer has no video memory of its own.
const VulkanDevice* vulkan_display_device(const VulkanDevice* devices, int count);

// A driver version in the vendor's encoding as four 16-bit parts, highest
// first (what the adapter identifier carries).
uint64_t vulkan_driver_version_parts(uint32_t vendor_id, uint32_t driver_version);
