// The only ways the portable core reaches the platform. Each seam is a table of
// plain functions shaped like the platform calls it stands for; the Win32 back
// ends make the real calls, the portable ones use Qt, SDL2 and files, and the
// tests install in-memory fakes. A back end that cannot answer reports failure.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- registry
// Always rooted at HKEY_LOCAL_MACHINE. Results: 0 = success (ERROR_SUCCESS),
// anything else a failure code.
struct RegKey;  // opaque key handle of a back end

constexpr uint32_t REG_TYPE_BINARY = 3;        // REG_BINARY
constexpr uint32_t REG_ACCESS_ALL = 0xF003F;   // KEY_ALL_ACCESS

struct RegistryApi {
    // RegOpenKeyA(HKEY_LOCAL_MACHINE, subkey, key)
    long (*open_key)(const char* subkey, RegKey** key);
    // RegQueryValueExA(key, name, 0, type, data, length): *length holds the
    // buffer size on entry and the value's size on return. A value larger than
    // the buffer fails (ERROR_MORE_DATA).
    long (*query_value)(RegKey* key, const char* name, uint32_t* type, uint8_t* data, uint32_t* length);
    // RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, no class, 0, access, no
    // security, key, disposition): creates the whole path when missing.
    long (*create_key)(const char* subkey, uint32_t access, RegKey** key);
    // RegSetValueExA(key, name, 0, type, data, length)
    long (*set_value)(RegKey* key, const char* name, uint32_t type, const uint8_t* data, uint32_t length);
    // RegCloseKey(key)
    long (*close_key)(RegKey* key);
};

// ---------------------------------------------------------------- GUIDs
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// ---------------------------------------------------------------- Direct3D 8
struct D3DObject;  // opaque IDirect3D8 of a back end

constexpr uint32_t D3D_SDK_VERSION_8 = 220;
constexpr uint32_t D3DDEVTYPE_HAL_ = 1;
constexpr uint32_t FORMAT_A8R8G8B8 = 21;
constexpr uint32_t FORMAT_X8R8G8B8 = 22;
constexpr uint32_t FORMAT_R5G6B5 = 23;
constexpr uint32_t FORMAT_X1R5G5B5 = 24;

// The part of D3DADAPTER_IDENTIFIER8 the dialog uses.
struct AdapterIdentifier {
    char Description[512];  // NUL-terminated
    uint64_t DriverVersion;
};

// D3DDISPLAYMODE
struct DisplayMode {
    uint32_t Width;
    uint32_t Height;
    uint32_t RefreshRate;
    uint32_t Format;
};

struct Direct3DApi {
    // Direct3DCreate8(sdk_version): the object, or null.
    D3DObject* (*create)(uint32_t sdk_version);
    uint32_t (*get_adapter_count)(D3DObject* d3d);
    // 0 = success.
    long (*get_adapter_identifier)(D3DObject* d3d, uint32_t adapter, uint32_t flags, AdapterIdentifier* out);
    uint32_t (*get_adapter_mode_count)(D3DObject* d3d, uint32_t adapter);
    // 0 = success.
    long (*enum_adapter_modes)(D3DObject* d3d, uint32_t adapter, uint32_t mode, DisplayMode* out);
    // Non-negative = supported.
    long (*check_device_multisample_type)(D3DObject* d3d, uint32_t adapter, uint32_t device_type,
                                          uint32_t surface_format, int32_t windowed, uint32_t samples);
    uint32_t (*release)(D3DObject* d3d);
};

// ---------------------------------------------------------------- DirectDraw 7
struct DDrawObject;  // opaque IDirectDraw7 of a back end

constexpr uint32_t DDSCAPS_LOCALVIDMEM_ = 0x10000000;

struct DirectDrawApi {
    // DirectDrawCreateEx(device or null, &object, IID_IDirectDraw7, null);
    // negative = failure.
    long (*create)(const Guid* device, DDrawObject** out);
    // GetAvailableVidMem(DDSCAPS2 as four words, &total, &free); negative = failure.
    long (*get_available_vid_mem)(DDrawObject* ddraw, const uint32_t caps[4], uint32_t* total, uint32_t* free_bytes);
    uint32_t (*release)(DDrawObject* ddraw);
};

// ---------------------------------------------------------------- voice test
struct VoiceTestObject;  // opaque IDirectPlayVoiceTest of a back end

// Window handle of a host: HWND on Win32, a widget on Qt, a fake control in tests.
using HostWindow = void*;

struct VoiceTestApi {
    // CoCreateInstance(clsid, null, CLSCTX_INPROC_SERVER, iid, &object); negative = failure.
    long (*create)(const Guid* clsid, const Guid* iid, VoiceTestObject** out);
    // IDirectPlayVoiceTest::CheckAudioSetup(playback, capture, parent, flags)
    long (*check_audio_setup)(VoiceTestObject* voice, const Guid* playback, const Guid* capture, HostWindow parent,
                              uint32_t flags);
    uint32_t (*release)(VoiceTestObject* voice);
};

// ---------------------------------------------------------------- dialog host
struct HostRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Contract every host keeps: a click flips an automatic check box before its
// command arrives; an id without a control reads unchecked and ignores
// changes; no programmatic change ever becomes a command.
struct DialogHostApi {
    HostWindow (*get_item)(HostWindow dialog, int32_t id);             // GetDlgItem; null when absent
    uint32_t (*get_check)(HostWindow dialog, int32_t id);              // BM_GETCHECK; 0 when absent
    void (*set_check)(HostWindow dialog, int32_t id, uint32_t state);  // BM_SETCHECK
    void (*enable)(HostWindow control, bool enabled);                  // EnableWindow
    void (*set_text)(HostWindow control, const char* text);            // SetWindowTextA
    void (*list_reset)(HostWindow list);                               // CB_RESETCONTENT
    int32_t (*list_append)(HostWindow list, const char* text);         // CB_INSERTSTRING at -1 / CB_ADDSTRING unsorted
    int32_t (*list_add_sorted)(HostWindow list, const char* text);     // CB_ADDSTRING on a CBS_SORT list
    int32_t (*list_count)(HostWindow list);                            // CB_GETCOUNT
    void (*list_set_data)(HostWindow list, int32_t pos, intptr_t data);  // CB_SETITEMDATA
    intptr_t (*list_get_data)(HostWindow list, int32_t pos);           // CB_GETITEMDATA; CB_ERR outside
    int32_t (*list_get_selection)(HostWindow list);                    // CB_GETCURSEL; CB_ERR when none
    void (*list_set_selection)(HostWindow list, int32_t pos);          // CB_SETCURSEL; outside = none
    // LoadStringA(instance, id, buffer, size): characters copied, 0 when absent.
    int32_t (*load_string)(uint32_t id, char* buffer, int32_t size);
    // MessageBoxA(owner, text, caption, type): the button pressed (IDNO = 7).
    int32_t (*message_box)(HostWindow owner, const char* text, const char* caption, uint32_t type);
    void (*end_dialog)(HostWindow dialog, intptr_t result);            // EndDialog
    bool (*get_window_rect)(HostWindow window, HostRect* rect);        // GetWindowRect, screen pixels
    // SetWindowPos(window, HWND_TOP, x, y, w, h, SWP_SHOWWINDOW)
    void (*set_window_pos)(HostWindow window, int32_t x, int32_t y, int32_t width, int32_t height);
};

// ---------------------------------------------------------------- selection
// The back ends the core uses, chosen once at start (tests swap them).
struct Platform {
    const RegistryApi* registry;
    const Direct3DApi* d3d8;
    const DirectDrawApi* ddraw;
    const VoiceTestApi* voice;
    const DialogHostApi* host;
};

extern Platform platform;
