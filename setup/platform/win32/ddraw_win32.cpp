// DirectDraw 7 through ddraw.dll, loaded at run time so that a machine without
// it makes the video memory probe fail (0 MB) instead of the program.
#include <windows.h>

#include <ddraw.h>

#include <cstring>

#include "win32_backends.h"

namespace {

using DirectDrawCreateExProc = HRESULT(WINAPI*)(GUID*, LPVOID*, REFIID, IUnknown*);

// Defined here so that no import library is needed for it.
const GUID iid_direct_draw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(DDSCAPS2) == 4 * sizeof(uint32_t));
static_assert(sizeof(DWORD) == sizeof(uint32_t));

// Kept loaded for the rest of the process once found, like d3d8.dll.
DirectDrawCreateExProc create_proc() {
    static bool looked_up = false;
    static DirectDrawCreateExProc proc = nullptr;
    if (!looked_up) {
        looked_up = true;
        if (HMODULE module = LoadLibraryA("ddraw.dll")) {
            proc = reinterpret_cast<DirectDrawCreateExProc>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, "DirectDrawCreateEx")));
            if (!proc) FreeLibrary(module);
        }
    }
    return proc;
}

IDirectDraw7* object(DDrawObject* ddraw) { return reinterpret_cast<IDirectDraw7*>(ddraw); }

long create(const Guid* device, DDrawObject** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    DirectDrawCreateExProc proc = create_proc();
    if (!proc) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    GUID device_guid;
    if (device) std::memcpy(&device_guid, device, sizeof device_guid);
    void* created = nullptr;
    const HRESULT hr = proc(device ? &device_guid : nullptr, &created, iid_direct_draw7, nullptr);
    if (FAILED(hr)) {
        // Nothing of a failed creation is handed out, whatever it left behind.
        return hr;
    }
    if (!created) return E_POINTER;
    *out = reinterpret_cast<DDrawObject*>(created);
    return hr;
}

long get_available_vid_mem(DDrawObject* ddraw, const uint32_t caps[4], uint32_t* total, uint32_t* free_bytes) {
    if (!ddraw || !caps) return DDERR_INVALIDPARAMS;
    DDSCAPS2 surface_caps;
    std::memcpy(&surface_caps, caps, sizeof surface_caps);
    DWORD total_bytes = 0;
    DWORD free_count = 0;
    const HRESULT hr = object(ddraw)->GetAvailableVidMem(&surface_caps, &total_bytes, &free_count);
    if (total) *total = total_bytes;
    if (free_bytes) *free_bytes = free_count;
    return hr;
}

uint32_t release(DDrawObject* ddraw) {
    if (!ddraw) return 0;
    return object(ddraw)->Release();
}

}  // namespace

const DirectDrawApi win32_ddraw_api = {.create = create,
                                       .get_available_vid_mem = get_available_vid_mem,
                                       .release = release};
