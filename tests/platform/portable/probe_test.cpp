// The display probe's own rules; video memory against a scratch sysfs tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gpu/display_driver.h"
#include "portable_backends.h"
#include "gpu/video_memory.h"
#include "gpu/vulkan.h"

namespace {

uint64_t parts(uint64_t a, uint64_t b, uint64_t c, uint64_t d) { return a << 48 | b << 32 | c << 16 | d; }

TEST(GlTexts, DriverVersionAndSoftwareRenderer) {
    const std::pair<const char*, uint64_t> versions[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", parts(22, 3, 6, 0)},
        {"OpenGL ES 3.2 Mesa 23.1.0-devel (git-1a2b3c)", parts(23, 1, 0, 0)},
        {"4.6.0 NVIDIA 535.54.03", parts(535, 54, 3, 0)},
        {"4.6.14761 Compatibility Profile Context 21.30.1", parts(21, 30, 1, 0)},
        {"4.6.0 NVIDIA 99999.1.2.3.4", parts(65535, 1, 2, 3)},
        {"3.3", 0}};
    for (const auto& [text, expected] : versions) EXPECT_EQ(driver_version_from_gl_text(text), expected) << text;
    for (const char* cpu : {"llvmpipe (LLVM 15.0.6)", "softpipe", "Software Rasterizer", "zink (llvmpipe (LLVM 15))"})
        EXPECT_TRUE(software_renderer(cpu)) << cpu;
    for (const char* gpu : {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)",
                            "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA GeForce RTX 3060/PCIe/SSE2", ""})
        EXPECT_FALSE(software_renderer(gpu)) << gpu;
}

TEST(AdapterDescription, RendererWithOutputInBrackets) {
    char text[512];
    adapter_description("AMD Radeon RX 6600", "DP-1", text, sizeof text);
    EXPECT_STREQ(text, "AMD Radeon RX 6600 (DP-1)");
    adapter_description("", "screen", text, sizeof text);
    EXPECT_STREQ(text, "screen");
    adapter_description(std::string(600, 'R').c_str(), "DP-1", text, sizeof text);
    EXPECT_EQ(std::strlen(text), sizeof text - 1);
}

TEST(VulkanDeviceFor, MatchesTheGlDeviceNotTheLoadersFirst) {
    constexpr DeviceNumber none{}, card0{true, 226, 0}, card1{true, 226, 1};
    const VulkanDevice intel{"Intel(R) UHD Graphics 620 (KBL GT2)", 1, 3u << 30, none, none};
    const VulkanDevice nvidia{"NVIDIA GeForce RTX 3060", 2, 12ull << 30, none, none};
    const VulkanDevice cpu{"llvmpipe (LLVM 15.0.6, 256 bits)", VULKAN_TYPE_CPU, 2u << 30, none, none};
    const VulkanDevice rx8_at0{"AMD Radeon RX 6600 (RADV NAVI23)", 2, 8ull << 30, card0, none};
    const VulkanDevice rx8_at1{"AMD Radeon RX 6600 (RADV NAVI23)", 2, 8ull << 30, card1, none};
    const VulkanDevice rx4{"AMD Radeon RX 6600 (RADV NAVI23)", 2, 4ull << 30, none, none};
    struct Case {
        const char* renderer;
        DeviceNumber node;
        std::vector<VulkanDevice> devices;
        int expected;  // index, -1 for none
    } const cases[] = {
        {"NVIDIA GeForce RTX 3060/PCIe/SSE2", none, {intel, nvidia}, 1},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", none, {nvidia, intel}, 1},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6)", card1, {rx8_at0, rx8_at1}, 1},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6)", card1, {rx8_at0}, -1},      // the same name on another node
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6)", none, {rx8_at0, rx4}, -1},  // which of two is unknown
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6)", none, {rx8_at0, rx8_at1}, 0},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", none, {cpu}, -1},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6)", none, {intel, nvidia}, -1},
    };
    for (const Case& c : cases) {
        const VulkanDevice* found =
            vulkan_device_for(c.devices.data(), static_cast<int>(c.devices.size()), c.renderer, c.node, {});
        EXPECT_EQ(found ? found - c.devices.data() : -1, c.expected) << c.renderer;
    }
}

TEST(VideoMemory, FromTheContextsDriverOrItsDrmNode) {
    const auto root = std::filesystem::temp_directory_path() / ("probe_test." + std::to_string(getpid()));
    for (const auto& [node, text] : {std::pair{"card1", "8573157376\n"}, {"renderD128", "0\n"}, {"card2", "lots\n"}}) {
        std::filesystem::create_directories(root / "class/drm" / node / "device");
        std::ofstream(root / "class/drm" / node / "device/mem_info_vram_total") << text;
    }
    uint64_t bytes = 0;
    EXPECT_TRUE(vram_from_drm_node(root.c_str(), "/dev/dri/card1", &bytes));
    EXPECT_EQ(bytes, 8573157376u);
    for (const char* node : {"/dev/dri/renderD128", "/dev/dri/card2", "/dev/dri/card9", "/dev/dri/by-path/x", "../.."})
        EXPECT_FALSE(vram_from_drm_node(root.c_str(), node, &bytes)) << node;

    GlDriverFacts gl{};
    std::snprintf(gl.renderer, sizeof gl.renderer, "AMD Radeon RX 6600");
    std::snprintf(gl.drm_node, sizeof gl.drm_node, "/dev/dri/card1");
    EXPECT_EQ(video_memory_of(gl, root.c_str(), &bytes), VRAM_SOURCE_DRM);
    EXPECT_EQ(bytes, 8573157376u);
    gl.dedicated_bytes = 4ull << 30;  // what the GL driver says comes first
    EXPECT_EQ(video_memory_of(gl, root.c_str(), &bytes), VRAM_SOURCE_GL);
    EXPECT_EQ(bytes, 4ull << 30);
    gl.software = true;  // main memory is never counted
    EXPECT_EQ(video_memory_of(gl, root.c_str(), &bytes), VRAM_SOURCE_NONE);
    std::filesystem::remove_all(root);
}

// A fault this program had: with no display to reach, SDL 2.26 invents an
// "offscreen" one, and the dialog listed it instead of ending with its
// "Setup error" box.
TEST(Display, AnInventedDisplayIsNoDisplay) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) unsetenv(name);
    EXPECT_EQ(portable_d3d8_api.create(220), nullptr);
}

}  // namespace
