// The floors for the Windows program's start-up. floor_win32: the least a
// Win32 dialog from a resource template costs (one button; OK or Esc ends it).
// floor_win32_display (FLOOR_WITH_DISPLAY), the Windows program's floor: the
// same dialog after COM and the common controls (ordinal 17 of comctl32) are
// initialised, and in its WM_INITDIALOG exactly the DirectDraw and Direct3D 8
// calls of the program's first start, in its order and with its arguments:
// the video memory for the profile, the Direct3D object, every adapter's
// identifier and the current one's again, the video memory again at the
// selection, the mode table with four multisample probes per new usable size,
// and the refresh list's reads of every mode (the depth list reads the table
// only). The program must do each of these before its dialog is ready, and the
// libraries load at run time as the program loads them; what the floor leaves
// out is the program's own dialog (its controls, texts and logo), its lists
// and its registry read (a fraction of a millisecond).
#include <windows.h>

#include "floor_win32.h"

#ifdef FLOOR_WITH_DISPLAY
#include <d3d8.h>
#include <ddraw.h>
#include <objbase.h>

namespace {

constexpr DWORD LOCAL_VIDEO_MEMORY = 0x10000000;  // DDSCAPS_LOCALVIDMEM
constexpr UINT MODE_TABLE_SIZE = 256;
const GUID iid_direct_draw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

template <typename Proc>
Proc library_proc(const char* library, const char* name) {
    HMODULE module = LoadLibraryA(library);
    return module ? reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

using DirectDrawCreateProc = HRESULT(WINAPI*)(GUID*, LPVOID*, REFIID, IUnknown*);

// One DirectDraw 7 object asked for its local video memory, then released.
void measure_video_memory(DirectDrawCreateProc create) {
    void* created = nullptr;
    if (!create || FAILED(create(nullptr, &created, iid_direct_draw7, nullptr)) || !created) return;
    auto* ddraw = static_cast<IDirectDraw7*>(created);
    DDSCAPS2 caps = {LOCAL_VIDEO_MEMORY, 0, 0, {0}};
    DWORD total = 0;
    DWORD free_bytes = 0;
    ddraw->GetAvailableVidMem(&caps, &total, &free_bytes);
    ddraw->Release();
}

bool usable(const D3DDISPLAYMODE& mode) {
    const bool depth = mode.Format == D3DFMT_A8R8G8B8 || mode.Format == D3DFMT_X8R8G8B8 ||
                       mode.Format == D3DFMT_R5G6B5 || mode.Format == D3DFMT_X1R5G5B5;
    if (!depth || mode.Width < 640 || mode.Height == 0) return false;
    const double off = static_cast<double>(mode.Width) / mode.Height - 4.0 / 3.0;
    return off > -0.001 && off < 0.001;
}

IDirect3D8* d3d = nullptr;

void first_start_probe() {
    const auto create_ddraw = library_proc<DirectDrawCreateProc>("ddraw.dll", "DirectDrawCreateEx");
    measure_video_memory(create_ddraw);
    using CreateProc = IDirect3D8*(WINAPI*)(UINT);
    const auto create = library_proc<CreateProc>("d3d8.dll", "Direct3DCreate8");
    if (!create || !(d3d = create(D3D_SDK_VERSION))) return;
    D3DADAPTER_IDENTIFIER8 identifier;
    const UINT adapters = d3d->GetAdapterCount();
    for (UINT i = 0; i < adapters; ++i) d3d->GetAdapterIdentifier(i, 0, &identifier);
    d3d->GetAdapterIdentifier(0, 0, &identifier);
    measure_video_memory(create_ddraw);

    UINT sizes[MODE_TABLE_SIZE][2];
    UINT count = 0;
    const UINT modes = d3d->GetAdapterModeCount(0);
    for (UINT i = 0; i < modes && count < MODE_TABLE_SIZE; ++i) {
        D3DDISPLAYMODE mode;
        if (d3d->EnumAdapterModes(0, i, &mode) != D3D_OK || !usable(mode)) continue;
        UINT known = 0;
        while (known < count && (sizes[known][0] != mode.Width || sizes[known][1] != mode.Height)) ++known;
        if (known < count) continue;
        sizes[count][0] = mode.Width;
        sizes[count++][1] = mode.Height;
        d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, mode.Format, TRUE, D3DMULTISAMPLE_2_SAMPLES);
        d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, mode.Format, TRUE, D3DMULTISAMPLE_4_SAMPLES);
        d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, mode.Format, FALSE, D3DMULTISAMPLE_2_SAMPLES);
        d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, mode.Format, FALSE, D3DMULTISAMPLE_4_SAMPLES);
    }
    const UINT refresh_modes = d3d->GetAdapterModeCount(0);
    for (UINT i = 0; i < refresh_modes; ++i) {
        D3DDISPLAYMODE mode;
        d3d->EnumAdapterModes(0, i, &mode);
    }
}

}  // namespace
#endif

namespace {

INT_PTR CALLBACK floor_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
#ifdef FLOOR_WITH_DISPLAY
        first_start_probe();
#endif
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

// The same SETUP_EXIT_WHEN_SHOWN hook as setup.exe.
void CALLBACK exit_when_shown(HWND, UINT, UINT_PTR, DWORD) {
    char line[128] = "shown ";
    GetWindowTextA(GetActiveWindow(), line + 6, static_cast<int>(sizeof line) - 8);
    lstrcatA(line, "\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    ExitProcess(0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef FLOOR_WITH_DISPLAY
    CoInitialize(nullptr);
    using InitProc = void(WINAPI*)();
    if (const auto init = library_proc<InitProc>("comctl32.dll", MAKEINTRESOURCEA(17))) init();
#endif
    char flag[8];
    const DWORD length = GetEnvironmentVariableA("SETUP_EXIT_WHEN_SHOWN", flag, sizeof flag);
    if (length > 0 && length < sizeof flag) SetTimer(nullptr, 0, 0, exit_when_shown);
    const auto result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FLOOR), nullptr, floor_proc, 0);
#ifdef FLOOR_WITH_DISPLAY
    if (d3d) d3d->Release();
    CoUninitialize();
#endif
    return static_cast<int>(result);
}
