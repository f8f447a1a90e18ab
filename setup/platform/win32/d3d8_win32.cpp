// Direct3D 8 through d3d8.dll, loaded at run time: a machine without it gets
// a null object (the dialog's "could not be enumerated" path) instead of a
// loader error, and the x86_64 toolchain has no d3d8 import library anyway.
#include <windows.h>

#include <d3d8.h>

#include <cstring>

#include "win32_backends.h"

namespace {

using Direct3DCreate8Proc = IDirect3D8*(WINAPI*)(UINT);

static_assert(sizeof(DisplayMode) == sizeof(D3DDISPLAYMODE));
static_assert(sizeof(AdapterIdentifier::Description) == sizeof(D3DADAPTER_IDENTIFIER8::Description));

// The library stays loaded for the rest of the process once found: objects it
// created may outlive any one call, and unloading it under them would leave
// dangling vtables.
Direct3DCreate8Proc create_proc() {
    static bool looked_up = false;
    static Direct3DCreate8Proc proc = nullptr;
    if (!looked_up) {
        looked_up = true;
        if (HMODULE module = LoadLibraryA("d3d8.dll")) {
            proc = reinterpret_cast<Direct3DCreate8Proc>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, "Direct3DCreate8")));
            if (!proc) FreeLibrary(module);
        }
    }
    return proc;
}

IDirect3D8* object(D3DObject* d3d) { return reinterpret_cast<IDirect3D8*>(d3d); }

D3DObject* create(uint32_t sdk_version) {
    Direct3DCreate8Proc proc = create_proc();
    if (!proc) return nullptr;
    return reinterpret_cast<D3DObject*>(proc(sdk_version));
}

uint32_t get_adapter_count(D3DObject* d3d) {
    if (!d3d) return 0;
    return object(d3d)->GetAdapterCount();
}

long get_adapter_identifier(D3DObject* d3d, uint32_t adapter, uint32_t flags, AdapterIdentifier* out) {
    if (!d3d || !out) return D3DERR_INVALIDCALL;
    D3DADAPTER_IDENTIFIER8 identifier;
    std::memset(&identifier, 0, sizeof identifier);
    const HRESULT hr = object(d3d)->GetAdapterIdentifier(adapter, flags, &identifier);
    // The caller always gets a terminated text, even from a failed query or a
    // driver that filled the whole field.
    out->Description[0] = '\0';
    out->DriverVersion = 0;
    if (SUCCEEDED(hr)) {
        std::memcpy(out->Description, identifier.Description, sizeof out->Description - 1);
        out->Description[sizeof out->Description - 1] = '\0';
        out->DriverVersion = static_cast<uint64_t>(identifier.DriverVersion.QuadPart);
    }
    return hr;
}

uint32_t get_adapter_mode_count(D3DObject* d3d, uint32_t adapter) {
    if (!d3d) return 0;
    return object(d3d)->GetAdapterModeCount(adapter);
}

long enum_adapter_modes(D3DObject* d3d, uint32_t adapter, uint32_t mode, DisplayMode* out) {
    if (!d3d || !out) return D3DERR_INVALIDCALL;
    D3DDISPLAYMODE display_mode = {};
    const HRESULT hr = object(d3d)->EnumAdapterModes(adapter, mode, &display_mode);
    out->Width = display_mode.Width;
    out->Height = display_mode.Height;
    out->RefreshRate = display_mode.RefreshRate;
    out->Format = static_cast<uint32_t>(display_mode.Format);
    return hr;
}

long check_device_multisample_type(D3DObject* d3d, uint32_t adapter, uint32_t device_type, uint32_t surface_format,
                                   int32_t windowed, uint32_t samples) {
    if (!d3d) return D3DERR_INVALIDCALL;
    return object(d3d)->CheckDeviceMultiSampleType(adapter, static_cast<D3DDEVTYPE>(device_type),
                                                   static_cast<D3DFORMAT>(surface_format), windowed ? TRUE : FALSE,
                                                   static_cast<D3DMULTISAMPLE_TYPE>(samples));
}

uint32_t release(D3DObject* d3d) {
    if (!d3d) return 0;
    return object(d3d)->Release();
}

}  // namespace

const Direct3DApi win32_d3d8_api = {.create = create,
                                    .get_adapter_count = get_adapter_count,
                                    .get_adapter_identifier = get_adapter_identifier,
                                    .get_adapter_mode_count = get_adapter_mode_count,
                                    .enum_adapter_modes = enum_adapter_modes,
                                    .check_device_multisample_type = check_device_multisample_type,
                                    .release = release};
