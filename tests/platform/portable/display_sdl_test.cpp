// The SDL display back end against SDL itself, the X server's own tools and
// the GL driver read independently; then the display probe on top of it.
#include <SDL.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#ifdef SETUP_HAVE_EGL
#include <EGL/egl.h>
#include <EGL/eglext.h>
#endif

#include "app/state.h"
#include "dialog/controller.h"
#include "fakes.h"
#include "portable_backends.h"
#include "probe/adapters.h"
#include "probe_gl.h"
#include "probe_vulkan.h"
#include "res/resource.h"
#include "settings/settings.h"

extern char** environ;

namespace {

const Direct3DApi& api = sdl_d3d8_api;

// The test X server sometimes drops a connection made right after another
// closed: every independent read here gets a few tries.
std::string run_tool(const char* command) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0) usleep(50000);
        std::string out;
        FILE* p = popen(command, "r");
        if (!p) continue;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        if (pclose(p) == 0) return out;
    }
    return {};
}

bool tool_exists(const char* name) {
    const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Holds SDL video for the direct reads; the back end's own init is counted
// on top of it.
struct SdlVideo {
    bool ok = false;
    SdlVideo() {
        for (int attempt = 0; !ok && attempt < 5; ++attempt) {
            if (attempt > 0) usleep(50000);
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) continue;
            ok = std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0;
            if (!ok) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }
    ~SdlVideo() {
        if (ok) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

struct Object {
    D3DObject* d3d = api.create(D3D_SDK_VERSION_8);
    ~Object() {
        if (d3d) api.release(d3d);
    }
};

#define REQUIRE_DISPLAY() ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under an X server (xvfb-run)"

uint32_t expected_format(uint32_t sdl_format) {
    static const std::pair<uint32_t, uint32_t> table[] = {
        {SDL_PIXELFORMAT_RGB565, 23},   {SDL_PIXELFORMAT_XRGB1555, 24}, {SDL_PIXELFORMAT_ARGB8888, 21},
        {SDL_PIXELFORMAT_XRGB8888, 22}, {SDL_PIXELFORMAT_RGB24, 20},
    };
    for (const auto& [sdl, d3d] : table)
        if (sdl == sdl_format) return d3d;
    return 0xFFFFFFFF;  // anything else: must not be one of the usable formats
}

TEST(SdlDisplay, CreateWantsTheVersionItWasBuiltFor) {
    EXPECT_EQ(api.create(219), nullptr);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST(SdlDisplay, EachObjectHoldsOneVideoInitUntilReleased) {
    REQUIRE_DISPLAY();
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    D3DObject* a = api.create(D3D_SDK_VERSION_8);
    ASSERT_NE(a, nullptr);
    D3DObject* b = api.create(D3D_SDK_VERSION_8);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    api.release(a);
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "the second object still needs video";
    api.release(b);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST(SdlDisplay, AdaptersAndModesAreWhatSdlReports) {
    REQUIRE_DISPLAY();
    SdlVideo sdl;
    ASSERT_TRUE(sdl.ok) << SDL_GetError();
    Object o;
    ASSERT_NE(o.d3d, nullptr);
    const int displays = SDL_GetNumVideoDisplays();
    ASSERT_GT(displays, 0);
    ASSERT_EQ(api.get_adapter_count(o.d3d), static_cast<uint32_t>(displays));
    for (int i = 0; i < displays; ++i) {
        AdapterIdentifier id{};
        ASSERT_EQ(api.get_adapter_identifier(o.d3d, i, 0, &id), 0);
        const char* name = SDL_GetDisplayName(i);
        if (name && name[0]) {
            EXPECT_STREQ(id.Description, name);
        } else {
            EXPECT_NE(id.Description[0], '\0');
        }
        const int modes = SDL_GetNumDisplayModes(i);
        ASSERT_EQ(api.get_adapter_mode_count(o.d3d, i), static_cast<uint32_t>(modes > 0 ? modes : 0));
        for (int m = 0; m < modes; ++m) {
            SDL_DisplayMode sm;
            ASSERT_EQ(SDL_GetDisplayMode(i, m, &sm), 0);
            DisplayMode dm{};
            ASSERT_EQ(api.enum_adapter_modes(o.d3d, i, m, &dm), 0);
            EXPECT_EQ(dm.Width, static_cast<uint32_t>(sm.w));
            EXPECT_EQ(dm.Height, static_cast<uint32_t>(sm.h));
            EXPECT_EQ(dm.RefreshRate, static_cast<uint32_t>(sm.refresh_rate > 0 ? sm.refresh_rate : 0));
            const uint32_t want = expected_format(sm.format);
            if (want != 0xFFFFFFFF) {
                EXPECT_EQ(dm.Format, want) << SDL_GetPixelFormatName(sm.format);
            } else {
                EXPECT_TRUE(dm.Format < 21 || dm.Format > 24) << SDL_GetPixelFormatName(sm.format);
            }
        }
        // One past the end is no mode.
        DisplayMode past{};
        EXPECT_LT(api.enum_adapter_modes(o.d3d, i, static_cast<uint32_t>(modes), &past), 0);
    }
    // An ordinal past the last adapter answers nothing.
    AdapterIdentifier none{};
    EXPECT_LT(api.get_adapter_identifier(o.d3d, displays, 0, &none), 0);
    EXPECT_EQ(api.get_adapter_mode_count(o.d3d, displays), 0u);
}

// The screen as the X server describes it: xdpyinfo's size and depth.
TEST(SdlDisplay, TheScreenXdpyinfoDescribesIsListed) {
    REQUIRE_DISPLAY();
    ASSERT_TRUE(tool_exists("xdpyinfo"));
    const std::string info = run_tool("xdpyinfo");
    unsigned width = 0, height = 0, depth = 0;
    const size_t dims = info.find("dimensions:");
    const size_t planes = info.find("depth of root window:");
    ASSERT_NE(dims, std::string::npos);
    ASSERT_NE(planes, std::string::npos);
    ASSERT_EQ(std::sscanf(info.c_str() + dims, "dimensions: %ux%u", &width, &height), 2);
    ASSERT_EQ(std::sscanf(info.c_str() + planes, "depth of root window: %u", &depth), 1);

    Object o;
    ASSERT_NE(o.d3d, nullptr);
    bool found = false;
    for (uint32_t a = 0; a < api.get_adapter_count(o.d3d); ++a)
        for (uint32_t m = 0; m < api.get_adapter_mode_count(o.d3d, a); ++m) {
            DisplayMode dm{};
            ASSERT_EQ(api.enum_adapter_modes(o.d3d, a, m, &dm), 0);
            if (dm.Width != width || dm.Height != height) continue;
            found = true;
            if (depth == 24) {
                EXPECT_EQ(dm.Format, FORMAT_X8R8G8B8);
            }
            if (depth == 16) {
                EXPECT_EQ(dm.Format, FORMAT_R5G6B5);
            }
        }
    EXPECT_TRUE(found) << width << "x" << height << " depth " << depth;
}

// xrandr's connected outputs are the adapters, with the same sizes.
TEST(SdlDisplay, OutputsAndSizesAgreeWithXrandr) {
    REQUIRE_DISPLAY();
    if (!tool_exists("xrandr")) GTEST_SKIP() << "xrandr is not installed (x11-xserver-utils)";
    const std::string text = run_tool("xrandr --query");
    std::vector<std::string> outputs;  // connected and showing a picture
    std::vector<std::set<std::pair<unsigned, unsigned>>> sizes;
    bool in_output = false;  // mode lines below belong to the last listed output
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        char name[128];
        char state[32];
        unsigned w, h;
        if (line[0] == ' ') {
            if (in_output && std::sscanf(line.c_str(), " %ux%u", &w, &h) == 2) sizes.back().insert({w, h});
            continue;
        }
        in_output = std::sscanf(line.c_str(), "%127s %31s", name, state) == 2 && std::strcmp(state, "connected") == 0 &&
                    line.find('+') != std::string::npos;
        if (in_output) {
            outputs.push_back(name);
            sizes.emplace_back();
        }
    }
    Object o;
    ASSERT_NE(o.d3d, nullptr);
    ASSERT_EQ(api.get_adapter_count(o.d3d), outputs.size());
    std::set<std::string> names(outputs.begin(), outputs.end());
    for (uint32_t a = 0; a < api.get_adapter_count(o.d3d); ++a) {
        AdapterIdentifier id{};
        ASSERT_EQ(api.get_adapter_identifier(o.d3d, a, 0, &id), 0);
        EXPECT_TRUE(names.count(id.Description)) << id.Description;
        std::set<std::pair<unsigned, unsigned>> ours;
        for (uint32_t m = 0; m < api.get_adapter_mode_count(o.d3d, a); ++m) {
            DisplayMode dm{};
            ASSERT_EQ(api.enum_adapter_modes(o.d3d, a, m, &dm), 0);
            ours.insert({dm.Width, dm.Height});
        }
        for (size_t k = 0; k < outputs.size(); ++k)
            if (outputs[k] == id.Description) {
                EXPECT_EQ(ours, sizes[k]) << id.Description;
            }
    }
}

// Runs this test binary again, only `test`, without any display and with
// SDL's video driver as given (null: SDL chooses); returns its exit status.
int run_child_without_display(const char* test, const char* video_driver) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "SDL_VIDEODRIVER=", 16) != 0 &&
            std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0)
            env.push_back(*e);
    if (video_driver) env.push_back(std::string("SDL_VIDEODRIVER=") + video_driver);
    env.push_back("SETUP_TEST_NO_DISPLAY_CHILD=1");
    std::vector<char*> envp;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string filter = std::string("--gtest_filter=") + test;
    std::string self = "/proc/self/exe";
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// With no display to talk to, there is no object: the dialog's setup error.
// SDL's own stand-ins (an invented off-screen or dummy display) do not count.
TEST(SdlDisplay, NoDisplayMeansNoObject) {
    if (std::getenv("SETUP_TEST_NO_DISPLAY_CHILD")) {
        D3DObject* d3d = api.create(D3D_SDK_VERSION_8);
        EXPECT_EQ(d3d, nullptr) << "driver " << (SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "none");
        if (d3d) api.release(d3d);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
        return;
    }
    for (const char* driver : {"x11", "offscreen", "dummy", static_cast<const char*>(nullptr)})
        EXPECT_EQ(run_child_without_display("SdlDisplay.NoDisplayMeansNoObject", driver), 0)
            << "SDL_VIDEODRIVER=" << (driver ? driver : "(unset)");
}

// ------------------------------------------------------------ driver identity

struct VersionCase {
    const char* text;
    uint64_t parts;
};

constexpr uint64_t parts(uint64_t a, uint64_t b, uint64_t c, uint64_t d) { return a << 48 | b << 32 | c << 16 | d; }

TEST(DriverVersionText, DriverPartAfterTheApiVersion) {
    const VersionCase cases[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", parts(22, 3, 6, 0)},
        {"4.6 (Core Profile) Mesa 23.2.1-1ubuntu3.1~22.04.2", parts(23, 2, 1, 0)},
        {"3.1 Mesa 21.0.0-devel (git-abcdef)", parts(21, 0, 0, 0)},
        {"OpenGL ES 3.2 Mesa 22.3.6", parts(22, 3, 6, 0)},
        {"4.6.0 NVIDIA 535.54.03", parts(535, 54, 3, 0)},
        {"OpenGL ES 3.2 NVIDIA 470.199.02", parts(470, 199, 2, 0)},
        {"4.6.14800 Compatibility Profile Context 22.10.1 30.0.21023.1015", parts(22, 10, 1, 0)},
        {"2.1 Driver 1.2.3.4.5", parts(1, 2, 3, 4)},
        {"4.6 Vendor 70000.1", parts(65535, 1, 0, 0)},  // a part wider than 16 bits saturates
        {"4.5", 0},
        {"4.5 (Core Profile)", 0},
        {"Mesa", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(driver_version_from_gl_text(c.text), c.parts) << c.text;
    EXPECT_EQ(driver_version_from_gl_text(nullptr), 0u);
}

TEST(DriverVersionText, VulkanEncodings) {
    // Mesa: VK_MAKE_VERSION(22, 3, 6).
    EXPECT_EQ(vulkan_driver_version_parts(0x1002, (22u << 22) | (3u << 12) | 6u), parts(22, 3, 6, 0));
    EXPECT_EQ(vulkan_driver_version_parts(0x8086, (23u << 22) | (1u << 12) | 9u), parts(23, 1, 9, 0));
    // NVIDIA: 535.54.3.0 in 10.8.8.6 bits.
    EXPECT_EQ(vulkan_driver_version_parts(0x10DE, (535u << 22) | (54u << 14) | (3u << 6) | 0u), parts(535, 54, 3, 0));
}

#ifdef SETUP_HAVE_EGL

// The GL driver read here on its own: the X11 EGL display, a pbuffer context,
// glGetString, and eglChooseConfig for multisampling.
struct IndependentGl {
    EGLDisplay display = EGL_NO_DISPLAY;
    std::string version;
    IndependentGl() {
        auto get = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!get) return;
        display = get(EGL_PLATFORM_X11_KHR, EGL_DEFAULT_DISPLAY, nullptr);
        bool ready = false;
        for (int attempt = 0; display != EGL_NO_DISPLAY && !ready && attempt < 5; ++attempt) {
            if (attempt > 0) usleep(50000);
            ready = eglInitialize(display, nullptr, nullptr) == EGL_TRUE;
        }
        if (!ready) {
            display = EGL_NO_DISPLAY;
            return;
        }
        eglBindAPI(EGL_OPENGL_API);
        const EGLint want[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
        EGLConfig config;
        EGLint n = 0;
        if (!eglChooseConfig(display, want, &config, 1, &n) || n < 1) return;
        const EGLint size[] = {EGL_WIDTH, 4, EGL_HEIGHT, 4, EGL_NONE};
        EGLSurface surface = eglCreatePbufferSurface(display, config, size);
        EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
        if (surface != EGL_NO_SURFACE && context != EGL_NO_CONTEXT && eglMakeCurrent(display, surface, surface, context)) {
            using GetString = const unsigned char* (*)(unsigned int);
            auto get_string = reinterpret_cast<GetString>(eglGetProcAddress("glGetString"));
            const unsigned char* text = get_string ? get_string(0x1F02) : nullptr;
            if (text) version = reinterpret_cast<const char*>(text);
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
        if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    }
    ~IndependentGl() {
        if (display != EGL_NO_DISPLAY) eglTerminate(display);
    }
    // A window configuration of exactly these channel sizes with at least
    // `samples` samples.
    bool multisamples(int r, int g, int b, const std::vector<int>& alphas, int samples) const {
        for (int a : alphas) {
            const EGLint want[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                   EGL_RED_SIZE,     r,              EGL_GREEN_SIZE,      g,
                                   EGL_BLUE_SIZE,    b,              EGL_ALPHA_SIZE,      a,
                                   EGL_SAMPLES,      samples,        EGL_NONE};
            EGLint n = 0;
            if (!eglChooseConfig(display, want, nullptr, 0, &n) || n <= 0) continue;
            std::vector<EGLConfig> configs(static_cast<size_t>(n));
            eglChooseConfig(display, want, configs.data(), n, &n);
            for (EGLint i = 0; i < n; ++i) {
                EGLint cr, cg, cb, ca;
                eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &cr);
                eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &cg);
                eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &cb);
                eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &ca);
                if (cr == r && cg == g && cb == b && ca == a) return true;
            }
        }
        return false;
    }
};

TEST(SdlDisplay, DriverVersionIsTheGlDriversOwn) {
    REQUIRE_DISPLAY();
    Object o;
    ASSERT_NE(o.d3d, nullptr);
    AdapterIdentifier id{};
    ASSERT_EQ(api.get_adapter_identifier(o.d3d, 0, 0, &id), 0);
    IndependentGl gl;
    ASSERT_FALSE(gl.version.empty()) << "no GL driver answers on this display";
    const size_t mesa = gl.version.find("Mesa ");
    if (mesa != std::string::npos) {
        unsigned a = 0, b = 0, c = 0;
        ASSERT_EQ(std::sscanf(gl.version.c_str() + mesa, "Mesa %u.%u.%u", &a, &b, &c), 3) << gl.version;
        EXPECT_EQ(id.DriverVersion, parts(a, b, c, 0)) << gl.version;
    } else {
        EXPECT_EQ(id.DriverVersion, driver_version_from_gl_text(gl.version.c_str())) << gl.version;
    }
    EXPECT_NE(id.DriverVersion, 0u) << gl.version;
}

TEST(SdlDisplay, MultisampleAnswersFollowTheDriversConfigurations) {
    REQUIRE_DISPLAY();
    Object o;
    ASSERT_NE(o.d3d, nullptr);
    IndependentGl gl;
    ASSERT_NE(gl.display, EGL_NO_DISPLAY);
    struct Layout {
        uint32_t format;
        int r, g, b;
        std::vector<int> alphas;
    };
    const Layout layouts[] = {
        {FORMAT_A8R8G8B8, 8, 8, 8, {8}},
        {FORMAT_X8R8G8B8, 8, 8, 8, {0, 8}},
        {FORMAT_R5G6B5, 5, 6, 5, {0}},
        {FORMAT_X1R5G5B5, 5, 5, 5, {0, 1}},
    };
    int supported = 0;
    for (const auto& l : layouts)
        for (uint32_t samples : {2u, 4u})
            for (int32_t windowed : {1, 0}) {
                const bool want = gl.multisamples(l.r, l.g, l.b, l.alphas, static_cast<int>(samples));
                const long got = api.check_device_multisample_type(o.d3d, 0, D3DDEVTYPE_HAL_, l.format, windowed, samples);
                EXPECT_EQ(got >= 0, want) << "format " << l.format << " samples " << samples << " windowed " << windowed;
                supported += want;
            }
    // The same questions again come from what the object already knows.
    for (int i = 0; i < 1024; ++i)
        EXPECT_EQ(api.check_device_multisample_type(o.d3d, 0, D3DDEVTYPE_HAL_, FORMAT_X8R8G8B8, 1, 4) >= 0,
                  gl.multisamples(8, 8, 8, {0, 8}, 4)) << i;
    RecordProperty("multisample_answers_supported", supported);
}

#endif  // SETUP_HAVE_EGL

TEST(SdlDisplay, MultisampleRefusesWhatItCannotAnswer) {
    REQUIRE_DISPLAY();
    Object o;
    ASSERT_NE(o.d3d, nullptr);
    EXPECT_LT(api.check_device_multisample_type(o.d3d, 0, 2 /* reference device */, FORMAT_X8R8G8B8, 1, 2), 0);
    EXPECT_LT(api.check_device_multisample_type(o.d3d, 0, D3DDEVTYPE_HAL_, 20, 1, 2), 0);
    EXPECT_LT(api.check_device_multisample_type(o.d3d, 0, D3DDEVTYPE_HAL_, 0, 1, 2), 0);
    EXPECT_LT(api.check_device_multisample_type(o.d3d, 0, D3DDEVTYPE_HAL_, FORMAT_X8R8G8B8, 1, 1), 0);
    EXPECT_LT(api.check_device_multisample_type(o.d3d, 0, D3DDEVTYPE_HAL_, FORMAT_X8R8G8B8, 1, 17), 0);
    EXPECT_LT(api.check_device_multisample_type(o.d3d, api.get_adapter_count(o.d3d), D3DDEVTYPE_HAL_,
                                                FORMAT_X8R8G8B8, 1, 2), 0);
    // No multisampling is always there.
    EXPECT_EQ(api.check_device_multisample_type(o.d3d, 0, D3DDEVTYPE_HAL_, FORMAT_X8R8G8B8, 1, 0), 0);
}

// ------------------------------------------------------------ the probe on top

struct CoreOnSdl : ::testing::Test {
    void SetUp() override {
        reset_fakes();
        platform.d3d8 = &sdl_d3d8_api;
        platform.ddraw = &portable_ddraw_api;
        const HostWindow dialog = fake_dialog_handle();
        cache_control_handles(dialog);
    }
    void TearDown() override {
        if (d3d) platform.d3d8->release(d3d);
        d3d = nullptr;
        reset_fakes();
    }
};

TEST_F(CoreOnSdl, TheScreensModeIsOffered) {
    REQUIRE_DISPLAY();
    settings.width = 1600;
    settings.height = 1200;
    ASSERT_TRUE(build_adapter_list());
    ASSERT_NE(d3d, nullptr);

    std::vector<std::string> names;
    {
        SdlVideo sdl;
        for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) names.push_back(SDL_GetDisplayName(i));
    }
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER), names);
    const auto sizes = fake_list_texts(IDC_RESOLUTION);
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), "1600 x 1200"), sizes.end());
    EXPECT_EQ(fake_selected_text(IDC_RESOLUTION), "1600 x 1200");
    // The record asks for the default rate.
    EXPECT_EQ(fake_selected_text(IDC_REFRESH), "Default");
    const std::string version = fake_control(IDC_DRIVER_VERSION)->text;
    EXPECT_EQ(version.rfind("Driver version: ", 0), 0u) << version;
}

TEST_F(CoreOnSdl, RebuildingKeepsOneObjectAndOneVideoInit) {
    REQUIRE_DISPLAY();
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    ASSERT_TRUE(build_adapter_list());
    ASSERT_TRUE(build_adapter_list());
    platform.d3d8->release(d3d);
    d3d = nullptr;
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "an object of the first build was never released";
}

}  // namespace
