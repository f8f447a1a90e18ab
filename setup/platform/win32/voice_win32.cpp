// The voice test object through COM. No toolchain header declares its
// interface, so it is declared here from the published layout.
#include <windows.h>

#include <objbase.h>

#include <cstring>

#include "win32_backends.h"

// Outside the anonymous namespace on purpose: for a type with internal
// linkage that nothing here implements, the optimiser may conclude that no
// object of it can exist and turn every call into a pure-virtual trap.
struct IDirectPlayVoiceTest : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CheckAudioSetup(const GUID* playback, const GUID* capture, HWND parent,
                                                      DWORD flags) = 0;
};

namespace {

static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(alignof(Guid) == alignof(GUID));

GUID to_guid(const Guid& guid) {
    GUID converted;
    std::memcpy(&converted, &guid, sizeof converted);
    return converted;
}

IDirectPlayVoiceTest* object(VoiceTestObject* voice) { return reinterpret_cast<IDirectPlayVoiceTest*>(voice); }

long create(const Guid* clsid, const Guid* iid, VoiceTestObject** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!clsid || !iid) return E_INVALIDARG;
    const GUID class_id = to_guid(*clsid);
    const GUID interface_id = to_guid(*iid);
    void* created = nullptr;
    const HRESULT hr = CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, interface_id, &created);
    if (FAILED(hr)) return hr;
    if (!created) return E_POINTER;
    *out = reinterpret_cast<VoiceTestObject*>(created);
    return hr;
}

long check_audio_setup(VoiceTestObject* voice, const Guid* playback, const Guid* capture, HostWindow parent,
                       uint32_t flags) {
    if (!voice) return E_POINTER;
    GUID playback_id;
    GUID capture_id;
    if (playback) playback_id = to_guid(*playback);
    if (capture) capture_id = to_guid(*capture);
    return object(voice)->CheckAudioSetup(playback ? &playback_id : nullptr, capture ? &capture_id : nullptr,
                                          static_cast<HWND>(parent), flags);
}

uint32_t release(VoiceTestObject* voice) {
    if (!voice) return 0;
    return object(voice)->Release();
}

}  // namespace

const VoiceTestApi win32_voice_api = {.create = create, .check_audio_setup = check_audio_setup, .release = release};
