#include "gpu/vulkan.h"

#include <cstdio>
#include <cstring>
#include <vector>

#ifdef SETUP_HAVE_VULKAN
#include <dlfcn.h>
#define VK_NO_PROTOTYPES
#include <vulkan/vulkan.h>
#endif

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the product name at the start of `name`: up to " (" or "/",
// trailing blanks dropped.
size_t product_length(const char* name) {
    size_t n = 0;
    while (name[n] && name[n] != '/' && !(name[n] == ' ' && name[n + 1] == '(')) ++n;
    while (n > 0 && name[n - 1] == ' ') --n;
    return n;
}

bool same_node(DeviceNumber a, DeviceNumber b) {
    return a.known && b.known && a.major == b.major && a.minor == b.minor;
}

}  // namespace

bool same_device_name(const char* gl_renderer, const char* vulkan_name) {
    if (!gl_renderer || !vulkan_name) return false;
    // Mesa's GL drivers put their own name first, its Vulkan drivers do not.
    if (std::strncmp(gl_renderer, "Mesa ", 5) == 0) gl_renderer += 5;
    const size_t n = product_length(gl_renderer);
    if (n == 0 || product_length(vulkan_name) != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (lower(gl_renderer[i]) != lower(vulkan_name[i])) return false;
    return true;
}

const VulkanDevice* vulkan_device_for(const VulkanDevice* devices, int count, const char* gl_renderer,
                                      DeviceNumber gl_primary, DeviceNumber gl_render) {
    const bool gl_node_known = gl_primary.known || gl_render.known;
    const VulkanDevice* by_name = nullptr;
    for (int i = 0; i < count; ++i) {
        const VulkanDevice& d = devices[i];
        if (d.type == VULKAN_TYPE_CPU) continue;
        if (same_node(d.primary, gl_primary) || same_node(d.render, gl_render)) return &d;
        // A device on another node is another device, whatever its name.
        if (gl_node_known && (d.primary.known || d.render.known)) continue;
        if (!same_device_name(gl_renderer, d.name)) continue;
        // Two cards of one name: which one the context runs on is unknown,
        // so only a figure they share is an answer.
        if (by_name && by_name->local_bytes != d.local_bytes) return nullptr;
        if (!by_name) by_name = &d;
    }
    return by_name;
}

#ifdef SETUP_HAVE_VULKAN

namespace {

// The loader is opened on first need and stays loaded: unloading it and
// its drivers while the process runs is a known source of crashes at exit.
PFN_vkGetInstanceProcAddr open_loader() {
    static PFN_vkGetInstanceProcAddr get_proc = nullptr;
    static bool tried = false;
    if (tried) return get_proc;
    tried = true;
    void* library = dlopen("libvulkan.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    get_proc = reinterpret_cast<PFN_vkGetInstanceProcAddr>(dlsym(library, "vkGetInstanceProcAddr"));
    return get_proc;
}

template <typename F>
F instance_proc(PFN_vkGetInstanceProcAddr get_proc, VkInstance instance, const char* name) {
    return reinterpret_cast<F>(get_proc(instance, name));
}

bool has_device_extension(PFN_vkEnumerateDeviceExtensionProperties enumerate, VkPhysicalDevice device,
                          const char* name) {
    uint32_t n = 0;
    if (enumerate(device, nullptr, &n, nullptr) != VK_SUCCESS || n == 0) return false;
    std::vector<VkExtensionProperties> list(n);
    const VkResult r = enumerate(device, nullptr, &n, list.data());
    if (r != VK_SUCCESS && r != VK_INCOMPLETE) return false;
    for (uint32_t i = 0; i < n && i < list.size(); ++i)
        if (std::strcmp(list[i].extensionName, name) == 0) return true;
    return false;
}

}  // namespace

int probe_vulkan_devices(VulkanDevice* out, int max) {
    if (!out || max <= 0) return 0;
    const PFN_vkGetInstanceProcAddr get_proc = open_loader();
    if (!get_proc) return 0;
    auto create_instance = instance_proc<PFN_vkCreateInstance>(get_proc, VK_NULL_HANDLE, "vkCreateInstance");
    auto instance_version =
        instance_proc<PFN_vkEnumerateInstanceVersion>(get_proc, VK_NULL_HANDLE, "vkEnumerateInstanceVersion");
    if (!create_instance) return 0;
    // 1.1 where the loader has it: the device's DRM nodes are read through
    // vkGetPhysicalDeviceProperties2.
    uint32_t api = VK_API_VERSION_1_0;
    if (instance_version && instance_version(&api) != VK_SUCCESS) api = VK_API_VERSION_1_0;
    api = api >= VK_API_VERSION_1_1 ? VK_API_VERSION_1_1 : VK_API_VERSION_1_0;

    VkApplicationInfo app = {};
    app.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
    app.pApplicationName = "setup";
    app.apiVersion = api;
    VkInstanceCreateInfo info = {};
    info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
    info.pApplicationInfo = &app;
    VkInstance instance = VK_NULL_HANDLE;
    if (create_instance(&info, nullptr, &instance) != VK_SUCCESS) return 0;

    auto destroy = instance_proc<PFN_vkDestroyInstance>(get_proc, instance, "vkDestroyInstance");
    auto enumerate = instance_proc<PFN_vkEnumeratePhysicalDevices>(get_proc, instance, "vkEnumeratePhysicalDevices");
    auto properties =
        instance_proc<PFN_vkGetPhysicalDeviceProperties>(get_proc, instance, "vkGetPhysicalDeviceProperties");
    auto memory_properties = instance_proc<PFN_vkGetPhysicalDeviceMemoryProperties>(
        get_proc, instance, "vkGetPhysicalDeviceMemoryProperties");
    auto extensions = instance_proc<PFN_vkEnumerateDeviceExtensionProperties>(get_proc, instance,
                                                                              "vkEnumerateDeviceExtensionProperties");
    auto properties2 = api >= VK_API_VERSION_1_1 ? instance_proc<PFN_vkGetPhysicalDeviceProperties2>(
                                                       get_proc, instance, "vkGetPhysicalDeviceProperties2")
                                                 : nullptr;
    uint32_t n = 0;
    VkPhysicalDevice physical[VULKAN_MAX_DEVICES];
    if (enumerate && properties && memory_properties && extensions) {
        n = VULKAN_MAX_DEVICES;
        const VkResult listed = enumerate(instance, &n, physical);
        // VK_INCOMPLETE still fills the first n.
        if (listed != VK_SUCCESS && listed != VK_INCOMPLETE) n = 0;
    }
    if (n > static_cast<uint32_t>(max)) n = static_cast<uint32_t>(max);

    for (uint32_t i = 0; i < n; ++i) {
        VkPhysicalDeviceProperties props;
        properties(physical[i], &props);
        VkPhysicalDeviceMemoryProperties memory;
        memory_properties(physical[i], &memory);
        VulkanDevice& d = out[i];
        d = VulkanDevice{};
        std::snprintf(d.name, sizeof d.name, "%s", props.deviceName);
        d.type = static_cast<uint32_t>(props.deviceType);
        // Drivers may split video memory into several device-local heaps (for
        // example the part the CPU can map and the rest): they add up.
        for (uint32_t h = 0; h < memory.memoryHeapCount && h < VK_MAX_MEMORY_HEAPS; ++h)
            if (memory.memoryHeaps[h].flags & VK_MEMORY_HEAP_DEVICE_LOCAL_BIT)
                d.local_bytes += memory.memoryHeaps[h].size;
        if (properties2 && props.apiVersion >= VK_API_VERSION_1_1 &&
            has_device_extension(extensions, physical[i], VK_EXT_PHYSICAL_DEVICE_DRM_EXTENSION_NAME)) {
            VkPhysicalDeviceDrmPropertiesEXT drm = {};
            drm.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRM_PROPERTIES_EXT;
            VkPhysicalDeviceProperties2 props2 = {};
            props2.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2;
            props2.pNext = &drm;
            properties2(physical[i], &props2);
            if (drm.hasPrimary)
                d.primary = {true, static_cast<uint32_t>(drm.primaryMajor), static_cast<uint32_t>(drm.primaryMinor)};
            if (drm.hasRender)
                d.render = {true, static_cast<uint32_t>(drm.renderMajor), static_cast<uint32_t>(drm.renderMinor)};
        }
    }
    if (destroy) destroy(instance, nullptr);
    return static_cast<int>(n);
}

#else

int probe_vulkan_devices(VulkanDevice*, int) { return 0; }

#endif
