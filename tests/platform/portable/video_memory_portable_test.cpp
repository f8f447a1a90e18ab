// The video memory back end: each source against an independent read of the
// same thing, the DRM reader on a sysfs tree of the test's own, and the
// probe's figure on top.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef SETUP_HAVE_VULKAN
#include <vulkan/vulkan.h>
#endif
#if defined(SETUP_HAVE_X11) && defined(SETUP_HAVE_GL)
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/Xlib.h>
#endif

#include "fakes.h"
#include "portable_backends.h"
#include "probe/video_memory.h"
#include "probe_video_memory.h"
#include "probe_vulkan.h"

namespace {

const DirectDrawApi& api = portable_ddraw_api;
const uint32_t local_caps[4] = {DDSCAPS_LOCALVIDMEM_, 0, 0, 0};

// A scratch sysfs tree, removed afterwards.
struct FakeSysfs {
    std::string root;
    FakeSysfs() {
        char pattern[] = "/tmp/setup-sysfs-XXXXXX";
        root = mkdtemp(pattern);
        mkdir((root + "/class").c_str(), 0755);
        mkdir((root + "/class/drm").c_str(), 0755);
    }
    ~FakeSysfs() { std::system(("rm -rf '" + root + "'").c_str()); }
    void card(const std::string& name, const char* boot_vga, const char* vram_total) {
        const std::string dir = root + "/class/drm/" + name;
        mkdir(dir.c_str(), 0755);
        mkdir((dir + "/device").c_str(), 0755);
        if (boot_vga) write(dir + "/device/boot_vga", boot_vga);
        if (vram_total) write(dir + "/device/mem_info_vram_total", vram_total);
    }
    static void write(const std::string& path, const char* text) {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr) << path;
        std::fputs(text, f);
        std::fclose(f);
    }
};

// Puts the back end back on every source and the real sysfs.
struct Sources {
    Sources(uint32_t sources, const char* root) { set_video_memory_sources(sources, root); }
    ~Sources() { set_video_memory_sources(VRAM_SOURCE_ALL, nullptr); }
};

// The back end's answer: true with the total, or false when create failed.
bool back_end_total(uint32_t* total) {
    DDrawObject* ddraw = nullptr;
    const long created = api.create(nullptr, &ddraw);
    if (created < 0) {
        EXPECT_EQ(ddraw, nullptr);
        return false;
    }
    EXPECT_NE(ddraw, nullptr);
    uint32_t free_bytes = 12345;
    const long queried = api.get_available_vid_mem(ddraw, local_caps, total, &free_bytes);
    api.release(ddraw);
    EXPECT_GE(queried, 0);
    return queried >= 0;
}

// ------------------------------------------------------------ DRM sysfs

struct DrmCase {
    const char* what;
    const char* text;  // mem_info_vram_total of the only card, boot VGA
    bool answers;
    uint64_t bytes;
};

TEST(VideoMemoryDrm, ReadsTheBootDevicesTotal) {
    const DrmCase cases[] = {
        {"256 MB", "268435456\n", true, 268435456ull},
        {"8 GB", "8589934592\n", true, 8589934592ull},
        {"no newline", "1073741824", true, 1073741824ull},
        {"zero", "0\n", false, 0},
        {"empty", "", false, 0},
        {"text", "lots\n", false, 0},
        {"negative", "-1\n", false, 0},
        {"trailing junk", "4096 MB\n", false, 0},
        {"too big", "99999999999999999999999\n", false, 0},
    };
    for (const auto& c : cases) {
        FakeSysfs sys;
        sys.card("card0", "1\n", c.text);
        sys.card("card0-HDMI-A-1", nullptr, nullptr);
        uint64_t bytes = 0;
        EXPECT_EQ(vram_from_drm(sys.root.c_str(), &bytes), c.answers) << c.what;
        if (c.answers) {
            EXPECT_EQ(bytes, c.bytes) << c.what;
        }
    }
}

TEST(VideoMemoryDrm, PrimaryIsTheBootVgaCardElseTheFirst) {
    {
        FakeSysfs sys;
        sys.card("card0", "0\n", "1073741824\n");
        sys.card("card1", "1\n", "536870912\n");
        uint64_t bytes = 0;
        ASSERT_TRUE(vram_from_drm(sys.root.c_str(), &bytes));
        EXPECT_EQ(bytes, 536870912u);
    }
    {
        FakeSysfs sys;
        sys.card("card2", nullptr, "268435456\n");
        sys.card("card1", nullptr, "134217728\n");
        uint64_t bytes = 0;
        ASSERT_TRUE(vram_from_drm(sys.root.c_str(), &bytes));
        EXPECT_EQ(bytes, 134217728u);
    }
    {
        // The primary device has no figure: another card's memory is not its.
        FakeSysfs sys;
        sys.card("card0", "1\n", nullptr);
        sys.card("card1", "0\n", "4294967296\n");
        uint64_t bytes = 0;
        EXPECT_FALSE(vram_from_drm(sys.root.c_str(), &bytes));
    }
    {
        FakeSysfs sys;  // no cards at all
        uint64_t bytes = 0;
        EXPECT_FALSE(vram_from_drm(sys.root.c_str(), &bytes));
    }
    uint64_t bytes = 0;
    EXPECT_FALSE(vram_from_drm("/nonexistent-sysfs", &bytes));
}

TEST(VideoMemoryDrm, RealSysfsAgreesWithADirectRead) {
    uint64_t bytes = 0;
    const bool answered = vram_from_drm("/sys", &bytes);
    // The same file read here: card0 is the boot device on single-GPU machines.
    FILE* f = std::fopen("/sys/class/drm/card0/device/mem_info_vram_total", "r");
    FILE* boot = std::fopen("/sys/class/drm/card0/device/boot_vga", "r");
    int boot_flag = -1;
    if (boot) {
        if (std::fscanf(boot, "%d", &boot_flag) != 1) boot_flag = -1;
        std::fclose(boot);
    }
    if (!f) {
        if (access("/sys/class/drm", F_OK) != 0) {
            EXPECT_FALSE(answered) << "no DRM devices, yet a figure";
        }
        return;
    }
    unsigned long long direct = 0;
    const bool read = std::fscanf(f, "%llu", &direct) == 1;
    std::fclose(f);
    if (read && boot_flag == 1) {
        ASSERT_TRUE(answered);
        EXPECT_EQ(bytes, direct);
    }
}

// ------------------------------------------------------------ back end

TEST(VideoMemoryBackEnd, TotalFromTheKernelsFigure) {
    FakeSysfs sys;
    sys.card("card0", "1\n", "268435456\n");
    Sources only_drm(VRAM_SOURCE_DRM, sys.root.c_str());
    uint32_t total = 0;
    ASSERT_TRUE(back_end_total(&total));
    EXPECT_EQ(total, 268435456u);

    // The probe on top rounds it.
    reset_fakes();
    platform.ddraw = &portable_ddraw_api;
    EXPECT_EQ(measure_video_memory(nullptr), 256);
    reset_fakes();
}

TEST(VideoMemoryBackEnd, SaturatesAtTheLargest32BitCount) {
    struct Case {
        const char* text;
        uint32_t total;
    };
    const Case cases[] = {
        {"4294967295\n", 4294967295u},
        {"4294967296\n", 4294967295u},
        {"8589934592\n", 4294967295u},
        {"25769803776\n", 4294967295u},
        {"4294967294\n", 4294967294u},
    };
    for (const auto& c : cases) {
        FakeSysfs sys;
        sys.card("card0", "1\n", c.text);
        Sources only_drm(VRAM_SOURCE_DRM, sys.root.c_str());
        uint32_t total = 0;
        ASSERT_TRUE(back_end_total(&total)) << c.text;
        EXPECT_EQ(total, c.total) << c.text;
    }
    FakeSysfs sys;
    sys.card("card0", "1\n", "8589934592\n");
    Sources only_drm(VRAM_SOURCE_DRM, sys.root.c_str());
    reset_fakes();
    platform.ddraw = &portable_ddraw_api;
    EXPECT_EQ(measure_video_memory(nullptr), 4096);
    reset_fakes();
}

TEST(VideoMemoryBackEnd, NoSourceMeansNoObject) {
    FakeSysfs sys;  // nothing in it
    Sources only_drm(VRAM_SOURCE_DRM, sys.root.c_str());
    DDrawObject* ddraw = reinterpret_cast<DDrawObject*>(&sys);  // must be overwritten
    EXPECT_LT(api.create(nullptr, &ddraw), 0);
    EXPECT_EQ(ddraw, nullptr);
    reset_fakes();
    platform.ddraw = &portable_ddraw_api;
    EXPECT_EQ(measure_video_memory(nullptr), 0);
    reset_fakes();
}

TEST(VideoMemoryBackEnd, RefusesWhatItCannotAnswer) {
    FakeSysfs sys;
    sys.card("card0", "1\n", "134217728\n");
    Sources only_drm(VRAM_SOURCE_DRM, sys.root.c_str());
    EXPECT_LT(api.create(nullptr, nullptr), 0);
    const Guid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    DDrawObject* ddraw = nullptr;
    EXPECT_LT(api.create(&other, &ddraw), 0) << "only the primary device is known";
    EXPECT_EQ(ddraw, nullptr);
    ASSERT_GE(api.create(nullptr, &ddraw), 0);
    uint32_t total = 0;
    const uint32_t system_caps[4] = {0x00000800 /* system memory */, 0, 0, 0};
    EXPECT_LT(api.get_available_vid_mem(ddraw, system_caps, &total, nullptr), 0);
    EXPECT_LT(api.get_available_vid_mem(ddraw, local_caps, nullptr, nullptr), 0);
    EXPECT_GE(api.get_available_vid_mem(ddraw, local_caps, &total, nullptr), 0);
    EXPECT_EQ(total, 134217728u);
    api.release(ddraw);
}

// ------------------------------------------------------------ Vulkan and GLX

#ifdef SETUP_HAVE_VULKAN
// The display device's local memory read here on its own: first device that
// is not a CPU renderer, its device-local heaps added up.
bool independent_vulkan(uint64_t* bytes) {
    VkInstanceCreateInfo info = {};
    info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
    VkInstance instance;
    if (vkCreateInstance(&info, nullptr, &instance) != VK_SUCCESS) return false;
    uint32_t n = 0;
    vkEnumeratePhysicalDevices(instance, &n, nullptr);
    std::vector<VkPhysicalDevice> devices(n);
    vkEnumeratePhysicalDevices(instance, &n, devices.data());
    bool found = false;
    for (VkPhysicalDevice d : devices) {
        VkPhysicalDeviceProperties p;
        vkGetPhysicalDeviceProperties(d, &p);
        if (p.deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU) continue;
        VkPhysicalDeviceMemoryProperties m;
        vkGetPhysicalDeviceMemoryProperties(d, &m);
        uint64_t sum = 0;
        for (uint32_t h = 0; h < m.memoryHeapCount; ++h)
            if (m.memoryHeaps[h].flags & VK_MEMORY_HEAP_DEVICE_LOCAL_BIT) sum += m.memoryHeaps[h].size;
        *bytes = sum;
        found = sum != 0;
        break;
    }
    vkDestroyInstance(instance, nullptr);
    return found;
}

TEST(VideoMemoryVulkan, AgreesWithADirectRead) {
    uint64_t direct = 0;
    const bool expected = independent_vulkan(&direct);
    uint64_t bytes = 0;
    ASSERT_EQ(vram_from_vulkan(&bytes), expected);
    if (expected) {
        EXPECT_EQ(bytes, direct);
    }
}
#endif

TEST(VideoMemoryVulkan, SoftwareRenderersHaveNoVideoMemory) {
    VulkanDevice devices[3] = {};
    devices[0].type = VULKAN_TYPE_CPU;
    devices[0].local_bytes = 2147483648ull;
    devices[1].type = VULKAN_TYPE_DISCRETE;
    devices[1].local_bytes = 8589934592ull;
    devices[2].type = VULKAN_TYPE_INTEGRATED;
    EXPECT_EQ(vulkan_display_device(devices, 1), nullptr);
    EXPECT_EQ(vulkan_display_device(devices, 3), &devices[1]);
    EXPECT_EQ(vulkan_display_device(devices + 2, 1), &devices[2]);
    EXPECT_EQ(vulkan_display_device(devices, 0), nullptr);
}

#if defined(SETUP_HAVE_X11) && defined(SETUP_HAVE_GL)
TEST(VideoMemoryGlx, AgreesWithADirectRead) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under an X server (xvfb-run)";
    // The test X server sometimes drops a connection made right after
    // another closed.
    Display* display = nullptr;
    for (int attempt = 0; !display && attempt < 5; ++attempt) {
        if (attempt > 0) usleep(50000);
        display = XOpenDisplay(nullptr);
    }
    ASSERT_NE(display, nullptr);
    auto query = reinterpret_cast<PFNGLXQUERYRENDERERINTEGERMESAPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXQueryRendererIntegerMESA")));
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    unsigned int megabytes = 0;
    unsigned int accelerated = 0;
    const bool direct = query && extensions && std::strstr(extensions, "GLX_MESA_query_renderer") &&
                        query(display, DefaultScreen(display), 0, GLX_RENDERER_VIDEO_MEMORY_MESA, &megabytes) &&
                        query(display, DefaultScreen(display), 0, GLX_RENDERER_ACCELERATED_MESA, &accelerated);
    XCloseDisplay(display);

    uint32_t mb = 0;
    bool hardware = false;
    ASSERT_EQ(glx_renderer_memory(&mb, &hardware), direct);
    if (!direct) return;
    EXPECT_EQ(mb, megabytes);
    EXPECT_EQ(hardware, accelerated != 0);
    uint64_t bytes = 0;
    const bool answered = vram_from_glx(&bytes);
    // A software renderer reports the machine's memory: not video memory.
    EXPECT_EQ(answered, accelerated != 0 && megabytes != 0);
    if (answered) {
        EXPECT_EQ(bytes, static_cast<uint64_t>(megabytes) << 20);
    }
}
#endif

// Every source at once: the back end says what the first answering source
// says, or fails.
TEST(VideoMemoryBackEnd, AllSourcesAgreeWithTheProbeOrder) {
    uint64_t bytes = 0;
    const uint32_t source = probe_video_memory(VRAM_SOURCE_ALL, "/sys", &bytes);
    uint32_t total = 0;
    const bool answered = back_end_total(&total);
    ASSERT_EQ(answered, source != VRAM_SOURCE_NONE);
    if (answered) {
        EXPECT_EQ(total, bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes));
    }
    uint64_t one = 0;
    if (source == VRAM_SOURCE_NONE) {
        EXPECT_FALSE(vram_from_vulkan(&one));
        EXPECT_FALSE(vram_from_glx(&one));
        EXPECT_FALSE(vram_from_drm("/sys", &one));
    }
    reset_fakes();
    platform.ddraw = &portable_ddraw_api;
    EXPECT_EQ(measure_video_memory(nullptr), answered ? round_video_memory(total) : 0);
    reset_fakes();
}

}  // namespace
