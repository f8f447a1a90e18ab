#include "probe_vulkan.h"

#include <cstdio>

#ifdef SETUP_HAVE_VULKAN
#include <vulkan/vulkan.h>
#endif

namespace {

uint64_t pack_parts(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return (static_cast<uint64_t>(a & 0xFFFF) << 48) | (static_cast<uint64_t>(b & 0xFFFF) << 32) |
           (static_cast<uint64_t>(c & 0xFFFF) << 16) | static_cast<uint64_t>(d & 0xFFFF);
}

constexpr uint32_t VENDOR_NVIDIA = 0x10DE;

}  // namespace

uint64_t vulkan_driver_version_parts(uint32_t vendor_id, uint32_t driver_version) {
    const uint32_t v = driver_version;
    // The proprietary NVIDIA driver packs 10.8.8.6 bits; Mesa drivers and most
    // others use the 10.10.12 layout of VK_MAKE_VERSION.
    if (vendor_id == VENDOR_NVIDIA) return pack_parts(v >> 22, (v >> 14) & 0xFF, (v >> 6) & 0xFF, v & 0x3F);
    return pack_parts(v >> 22, (v >> 12) & 0x3FF, v & 0xFFF, 0);
}

const VulkanDevice* vulkan_display_device(const VulkanDevice* devices, int count) {
    for (int i = 0; i < count; ++i)
        if (devices[i].type != VULKAN_TYPE_CPU) return &devices[i];
    return nullptr;
}

#ifdef SETUP_HAVE_VULKAN

int probe_vulkan_devices(VulkanDevice* out, int max) {
    if (!out || max <= 0) return 0;
    VkApplicationInfo app = {};
    app.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
    app.pApplicationName = "setup";
    app.apiVersion = VK_API_VERSION_1_0;
    VkInstanceCreateInfo info = {};
    info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
    info.pApplicationInfo = &app;
    VkInstance instance = VK_NULL_HANDLE;
    if (vkCreateInstance(&info, nullptr, &instance) != VK_SUCCESS) return 0;

    VkPhysicalDevice physical[VULKAN_MAX_DEVICES];
    uint32_t n = VULKAN_MAX_DEVICES;
    const VkResult listed = vkEnumeratePhysicalDevices(instance, &n, physical);
    // VK_INCOMPLETE still fills the first n.
    if (listed != VK_SUCCESS && listed != VK_INCOMPLETE) n = 0;
    if (n > static_cast<uint32_t>(max)) n = static_cast<uint32_t>(max);

    for (uint32_t i = 0; i < n; ++i) {
        VkPhysicalDeviceProperties props;
        vkGetPhysicalDeviceProperties(physical[i], &props);
        VkPhysicalDeviceMemoryProperties memory;
        vkGetPhysicalDeviceMemoryProperties(physical[i], &memory);
        VulkanDevice& d = out[i];
        std::snprintf(d.name, sizeof d.name, "%s", props.deviceName);
        d.type = static_cast<uint32_t>(props.deviceType);
        d.vendor_id = props.vendorID;
        d.driver_version = props.driverVersion;
        // Drivers may split video memory into several device-local heaps (for
        // example the part the CPU can map and the rest): they add up.
        d.local_bytes = 0;
        for (uint32_t h = 0; h < memory.memoryHeapCount && h < VK_MAX_MEMORY_HEAPS; ++h)
            if (memory.memoryHeaps[h].flags & VK_MEMORY_HEAP_DEVICE_LOCAL_BIT) d.local_bytes += memory.memoryHeaps[h].size;
    }
    vkDestroyInstance(instance, nullptr);
    return static_cast<int>(n);
}

#else

int probe_vulkan_devices(VulkanDevice*, int) { return 0; }

#endif
