// The display probe's own rules; video memory against a scratch sysfs tree.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "gpu/display_driver.h"
#include "portable_backends.h"
#include "gpu/video_memory.h"
#include "gpu/vulkan.h"
#include "wayland_platform.h"

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

TEST(Display, DriverAndPlatformNames) {
    const std::pair<const char*, bool> lists[] = {
        {"wayland", true}, {"Wayland", true}, {"x11,WAYLAND", true}, {"x11", false}, {"waylandx", false}, {"", false}};
    for (const auto& [list, listed] : lists) EXPECT_EQ(sdl_driver_listed(list, "wayland"), listed) << list;
    for (const auto& [name, wayland] : {std::pair{"wayland", true}, {"wayland-egl", true}, {"xcb", false}, {"", false}})
        EXPECT_EQ(is_wayland_platform(name), wayland) << name;
}

// The seat check against fake compositors: the answer to get_registry (id 2)
// and sync (id 3) written ahead into a socket handed over in WAYLAND_SOCKET,
// or a socket that never answers. A fault this program had: a compositor
// that did not answer hung it before any window showed.
TEST(Display, WaylandSeatCheckReadsTheRegistryAndGivesUp) {
#ifndef SETUP_HAVE_WAYLAND
    GTEST_SKIP() << "built without Wayland";
#endif
    const auto answer = [](const char (&global)[8]) {  // wl_registry.global, then wl_callback.done
        std::vector<uint32_t> words{2, 28u << 16, 1, 8, 0, 0, 1, 3, 12u << 16, 0};
        std::memcpy(&words[4], global, sizeof global);
        return words;
    };
    const auto folder = std::filesystem::temp_directory_path() / ("wayland_test." + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const struct {
        const char* what;
        const char* variable;  // WAYLAND_SOCKET, WAYLAND_DISPLAY or none
        std::vector<uint32_t> words;
        bool seat;
    } rows[] = {
        {"a seat", "WAYLAND_SOCKET", answer("wl_seat"), true},
        {"no seat", "WAYLAND_SOCKET", answer("wl_shm\0"), false},
        {"a socket handed over that never answers", "WAYLAND_SOCKET", {}, false},
        {"a display that accepts and never answers", "WAYLAND_DISPLAY", {}, false},
        {"no display at all", nullptr, {}, true},
    };
    for (const auto& row : rows) {
        for (const char* name : {"WAYLAND_SOCKET", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"}) unsetenv(name);
        int fds[2] = {-1, -1};
        if (row.variable && std::strcmp(row.variable, "WAYLAND_SOCKET") == 0) {
            ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
            const auto bytes = static_cast<ssize_t>(row.words.size() * sizeof(uint32_t));
            ASSERT_EQ(write(fds[1], row.words.data(), static_cast<size_t>(bytes)), bytes);
            setenv("WAYLAND_SOCKET", std::to_string(fds[0]).c_str(), 1);
        } else if (row.variable) {
            sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s/wayland-9", folder.c_str());
            fds[1] = socket(AF_UNIX, SOCK_STREAM, 0);
            ASSERT_EQ(bind(fds[1], reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ASSERT_EQ(listen(fds[1], 1), 0);
            setenv("WAYLAND_DISPLAY", address.sun_path, 1);
        }
        // A check that hangs is left behind, and the row fails.
        std::promise<bool> seat;
        std::future<bool> result = seat.get_future();
        std::thread([&seat] { seat.set_value(wayland_seat_or_no_display(300)); }).detach();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready) << row.what;
        EXPECT_EQ(result.get(), row.seat) << row.what;
        if (fds[1] >= 0) close(fds[1]);
        std::filesystem::remove(folder / "wayland-9");
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
