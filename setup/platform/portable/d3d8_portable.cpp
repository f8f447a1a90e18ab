// Direct3D-shaped view of the displays SDL sees: one adapter per video
// display, named after the renderer that draws on it and its output, its
// modes as SDL lists them, and the OpenGL driver's version and multisample
// configurations (gpu/display_driver.h).
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "gpu/display_driver.h"
#include "portable_backends.h"

struct D3DObject {
    int unused;  // the object only marks a started video subsystem
};

namespace {

// Result codes as the interface reports them, 32-bit on every host.
constexpr long D3D_OK_ = 0;
constexpr long D3DERR_INVALIDCALL_ = static_cast<long>(static_cast<int32_t>(0x8876086Cu));
constexpr long D3DERR_NOTAVAILABLE_ = static_cast<long>(static_cast<int32_t>(0x8876086Au));

constexpr uint32_t FORMAT_UNKNOWN = 0;
constexpr uint32_t FORMAT_R8G8B8 = 20;
constexpr uint32_t FORMAT_A1R5G5B5 = 25;
constexpr uint32_t FORMAT_A4R4G4B4 = 26;
constexpr uint32_t FORMAT_R3G3B2 = 27;
constexpr uint32_t FORMAT_X4R4G4B4 = 30;

uint32_t format_of(uint32_t sdl_format) {
    switch (sdl_format) {
        case SDL_PIXELFORMAT_RGB565: return FORMAT_R5G6B5;
        case SDL_PIXELFORMAT_RGB555: return FORMAT_X1R5G5B5;  // also XRGB1555
        case SDL_PIXELFORMAT_ARGB8888: return FORMAT_A8R8G8B8;
        case SDL_PIXELFORMAT_RGB888: return FORMAT_X8R8G8B8;  // also XRGB8888
        case SDL_PIXELFORMAT_RGB24: return FORMAT_R8G8B8;
        case SDL_PIXELFORMAT_ARGB1555: return FORMAT_A1R5G5B5;
        case SDL_PIXELFORMAT_ARGB4444: return FORMAT_A4R4G4B4;
        case SDL_PIXELFORMAT_RGB332: return FORMAT_R3G3B2;
        case SDL_PIXELFORMAT_RGB444: return FORMAT_X4R4G4B4;
        // Layouts the interface has no name for (BGR orders, 10-bit, ...):
        // the mode is still reported, with a format nobody counts as usable.
        default: return FORMAT_UNKNOWN;
    }
}

int layout_of_format(uint32_t format) {
    switch (format) {
        case FORMAT_A8R8G8B8: return LAYOUT_A8R8G8B8;
        case FORMAT_X8R8G8B8: return LAYOUT_X8R8G8B8;
        case FORMAT_R5G6B5: return LAYOUT_R5G6B5;
        case FORMAT_X1R5G5B5: return LAYOUT_X1R5G5B5;
        default: return -1;
    }
}

bool valid_adapter(uint32_t adapter) {
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 && adapter < static_cast<uint32_t>(count);
}

// Every display of one session is drawn by the same driver; it is asked once
// (gpu/display_driver.h). Null when no display can be reached.
const GlDriverFacts* driver_facts() {
    const DisplayDriver* driver = display_driver();
    return driver ? &driver->gl : nullptr;
}

D3DObject* create(uint32_t sdk_version) {
    if (sdk_version != D3D_SDK_VERSION_8) return nullptr;
    if (!open_display_video()) return nullptr;
    D3DObject* d3d = new (std::nothrow) D3DObject{};
    if (!d3d) close_display_video();
    return d3d;
}

uint32_t get_adapter_count(D3DObject* d3d) {
    if (!d3d) return 0;
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

long get_adapter_identifier(D3DObject* d3d, uint32_t adapter, uint32_t, AdapterIdentifier* out) {
    if (!d3d || !out || !valid_adapter(adapter)) return D3DERR_INVALIDCALL_;
    char output[128];
    const char* name = SDL_GetDisplayName(static_cast<int>(adapter));
    if (name && name[0]) {
        std::snprintf(output, sizeof output, "%s", name);
    } else {
        const char* video = SDL_GetCurrentVideoDriver();
        std::snprintf(output, sizeof output, "%s display %u", video ? video : "video", adapter + 1);
    }
    const GlDriverFacts* gl = driver_facts();
    adapter_description(gl ? gl->renderer : nullptr, output, out->Description, sizeof out->Description);
    out->DriverVersion = gl ? gl->driver_version : 0;
    return D3D_OK_;
}

uint32_t get_adapter_mode_count(D3DObject* d3d, uint32_t adapter) {
    if (!d3d || !valid_adapter(adapter)) return 0;
    const int count = SDL_GetNumDisplayModes(static_cast<int>(adapter));
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

long enum_adapter_modes(D3DObject* d3d, uint32_t adapter, uint32_t mode, DisplayMode* out) {
    if (!d3d || !out || !valid_adapter(adapter)) return D3DERR_INVALIDCALL_;
    SDL_DisplayMode m;
    if (mode > 0x7FFFFFFFu || SDL_GetDisplayMode(static_cast<int>(adapter), static_cast<int>(mode), &m) != 0)
        return D3DERR_INVALIDCALL_;
    out->Width = m.w > 0 ? static_cast<uint32_t>(m.w) : 0;
    out->Height = m.h > 0 ? static_cast<uint32_t>(m.h) : 0;
    // 0 = the display does not say; callers treat it as "default".
    out->RefreshRate = m.refresh_rate > 0 ? static_cast<uint32_t>(m.refresh_rate) : 0;
    out->Format = format_of(m.format);
    return D3D_OK_;
}

long check_device_multisample_type(D3DObject* d3d, uint32_t adapter, uint32_t device_type, uint32_t surface_format,
                                   int32_t, uint32_t samples) {
    if (!d3d || !valid_adapter(adapter) || samples == 1 || samples > 16) return D3DERR_INVALIDCALL_;
    // Only the hardware device exists here.
    if (device_type != D3DDEVTYPE_HAL_) return D3DERR_NOTAVAILABLE_;
    const int layout = layout_of_format(surface_format);
    if (layout < 0) return D3DERR_NOTAVAILABLE_;
    if (samples == 0) return D3D_OK_;
    // Windowed or full screen, a GL program renders into a window either way,
    // so both ask the same configurations.
    const GlDriverFacts* gl = driver_facts();
    return gl && gl->max_samples[layout] >= static_cast<int32_t>(samples) ? D3D_OK_ : D3DERR_NOTAVAILABLE_;
}

uint32_t release(D3DObject* d3d) {
    if (!d3d) return 0;
    delete d3d;
    close_display_video();
    return 0;
}

}  // namespace

const Direct3DApi portable_d3d8_api = {.create = create,
                                       .get_adapter_count = get_adapter_count,
                                       .get_adapter_identifier = get_adapter_identifier,
                                       .get_adapter_mode_count = get_adapter_mode_count,
                                       .enum_adapter_modes = enum_adapter_modes,
                                       .check_device_multisample_type = check_device_multisample_type,
                                       .release = release};
