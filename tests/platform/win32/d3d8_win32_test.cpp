// The Direct3D 8 back end against Wine's d3d8: every answer it gives equals
// what d3d8.dll says when asked directly, and the adapter list built on top of
// it shows Wine's adapters and modes.
#include <windows.h>

#include <d3d8.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/state.h"
#include "child_process.h"
#include "dialog/controller.h"
#include "fakes.h"
#include "probe/adapters.h"
#include "probe/mode_table.h"
#include "probe/video_memory.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "win32_backends.h"

// A stand-in IDirect3D8 that records what it is asked and answers as scripted,
// for what Wine's answers cannot show (they do not depend on every argument).
// Outside the anonymous namespace, where the optimiser could assume no
// implementation of the interface exists.
class StandInDirect3D8 : public IDirect3D8 {
public:
    ULONG references = 1;
    UINT last_adapter = 0;
    DWORD last_flags = 0;
    UINT last_mode = 0;
    D3DDEVTYPE last_device_type = D3DDEVTYPE_REF;
    D3DFORMAT last_format = D3DFMT_UNKNOWN;
    BOOL last_windowed = 99;
    D3DMULTISAMPLE_TYPE last_samples = D3DMULTISAMPLE_NONE;
    HRESULT result = D3D_OK;
    char description_fill = 'A';
    ULONGLONG driver_version = 0;
    D3DDISPLAYMODE mode = {};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override { return E_NOTIMPL; }
    UINT STDMETHODCALLTYPE GetAdapterCount() override { return 7; }
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* id) override {
        last_adapter = adapter;
        last_flags = flags;
        // A description that fills its whole field, with no terminator.
        std::memset(id->Description, description_fill, sizeof id->Description);
        id->DriverVersion.QuadPart = static_cast<LONGLONG>(driver_version);
        return result;
    }
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter) override { return adapter * 10 + 3; }
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, UINT number, D3DDISPLAYMODE* out) override {
        last_adapter = adapter;
        last_mode = number;
        *out = mode;
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, WINBOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE, D3DFORMAT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE device_type, D3DFORMAT format,
                                                         WINBOOL windowed, D3DMULTISAMPLE_TYPE samples) override {
        last_adapter = adapter;
        last_device_type = device_type;
        last_format = format;
        last_windowed = windowed;
        last_samples = samples;
        return result;
    }
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS8*) override { return E_NOTIMPL; }
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT) override { return nullptr; }
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*,
                                           IDirect3DDevice8**) override {
        return E_NOTIMPL;
    }

    D3DObject* handle() { return reinterpret_cast<D3DObject*>(static_cast<IDirect3D8*>(this)); }
};

namespace {

using CreateProc = IDirect3D8*(WINAPI*)(UINT);

// d3d8.dll as the test itself sees it, independent of the back end.
class DirectD3D8 : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA("d3d8.dll");
        ASSERT_NE(module_, nullptr) << "Wine's d3d8.dll is missing";
        auto proc = reinterpret_cast<CreateProc>(reinterpret_cast<void*>(GetProcAddress(module_, "Direct3DCreate8")));
        ASSERT_NE(proc, nullptr);
        direct_ = proc(D3D_SDK_VERSION);
        ASSERT_NE(direct_, nullptr);
        backend_ = win32_d3d8_api.create(D3D_SDK_VERSION_8);
        ASSERT_NE(backend_, nullptr);
    }
    void TearDown() override {
        if (backend_) {
            EXPECT_EQ(win32_d3d8_api.release(backend_), 0u);
        }
        if (direct_) {
            EXPECT_EQ(direct_->Release(), 0u);
        }
        if (module_) FreeLibrary(module_);
    }

    // Formats of the modes Wine lists for an adapter, without repeats.
    std::vector<D3DFORMAT> mode_formats(UINT adapter) {
        std::vector<D3DFORMAT> formats;
        for (UINT i = 0; i < direct_->GetAdapterModeCount(adapter); ++i) {
            D3DDISPLAYMODE m = {};
            if (FAILED(direct_->EnumAdapterModes(adapter, i, &m))) continue;
            if (std::find(formats.begin(), formats.end(), m.Format) == formats.end()) formats.push_back(m.Format);
        }
        return formats;
    }

    HMODULE module_ = nullptr;
    IDirect3D8* direct_ = nullptr;
    D3DObject* backend_ = nullptr;
};

TEST_F(DirectD3D8, BackEndObjectIsAnIDirect3D8WithOneReference) {
    auto* object = reinterpret_cast<IDirect3D8*>(backend_);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
}

TEST_F(DirectD3D8, AdapterCountEqualsWines) {
    const UINT count = direct_->GetAdapterCount();
    EXPECT_GE(count, 1u) << "Wine lists no display adapter: the comparisons below say nothing";
    EXPECT_EQ(win32_d3d8_api.get_adapter_count(backend_), count);
}

TEST_F(DirectD3D8, IdentifiersEqualWines) {
    const UINT count = direct_->GetAdapterCount();
    for (UINT a = 0; a < count; ++a) {
        D3DADAPTER_IDENTIFIER8 expected = {};
        const HRESULT expected_hr = direct_->GetAdapterIdentifier(a, 0, &expected);
        AdapterIdentifier got;
        std::memset(&got, 0x55, sizeof got);
        const long hr = win32_d3d8_api.get_adapter_identifier(backend_, a, 0, &got);
        EXPECT_EQ(hr, expected_hr) << "adapter " << a;
        ASSERT_EQ(expected_hr, D3D_OK) << "adapter " << a;
        EXPECT_STRNE(expected.Description, "");
        EXPECT_STREQ(got.Description, expected.Description) << "adapter " << a;
        EXPECT_EQ(got.DriverVersion, static_cast<uint64_t>(expected.DriverVersion.QuadPart)) << "adapter " << a;
        EXPECT_NE(got.DriverVersion, 0u) << "Wine reports a driver version for its adapters";
    }
}

TEST_F(DirectD3D8, IdentifierOfAMissingAdapterFailsLikeWinesAndLeavesAnEmptyText) {
    const UINT missing = direct_->GetAdapterCount();
    D3DADAPTER_IDENTIFIER8 expected = {};
    const HRESULT expected_hr = direct_->GetAdapterIdentifier(missing, 0, &expected);
    ASSERT_LT(expected_hr, 0);
    AdapterIdentifier got;
    std::memset(&got, 'x', sizeof got);
    EXPECT_EQ(win32_d3d8_api.get_adapter_identifier(backend_, missing, 0, &got), expected_hr);
    EXPECT_EQ(got.Description[0], '\0');
    EXPECT_EQ(got.DriverVersion, 0u);
}

TEST_F(DirectD3D8, ModeCountsAndModesEqualWines) {
    const UINT count = direct_->GetAdapterCount();
    for (UINT a = 0; a <= count; ++a) {  // one past the end: both report nothing
        const UINT modes = direct_->GetAdapterModeCount(a);
        ASSERT_EQ(win32_d3d8_api.get_adapter_mode_count(backend_, a), modes) << "adapter " << a;
        if (a < count) {
            EXPECT_GE(modes, 1u) << "adapter " << a;
        }
        for (UINT i = 0; i <= modes; ++i) {  // one past the last mode fails in both
            D3DDISPLAYMODE expected = {};
            const HRESULT expected_hr = direct_->EnumAdapterModes(a, i, &expected);
            DisplayMode got = {};
            const long hr = win32_d3d8_api.enum_adapter_modes(backend_, a, i, &got);
            ASSERT_EQ(hr, expected_hr) << "adapter " << a << " mode " << i;
            if (i == modes) {
                EXPECT_LT(hr, 0);
                continue;
            }
            EXPECT_EQ(got.Width, expected.Width);
            EXPECT_EQ(got.Height, expected.Height);
            EXPECT_EQ(got.RefreshRate, expected.RefreshRate);
            EXPECT_EQ(got.Format, static_cast<uint32_t>(expected.Format));
        }
    }
}

TEST_F(DirectD3D8, MultisampleAnswersEqualWines) {
    const UINT count = direct_->GetAdapterCount();
    int supported = 0;
    int unsupported = 0;
    for (UINT a = 0; a < count; ++a) {
        std::vector<D3DFORMAT> formats = mode_formats(a);
        for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5}) {
            if (std::find(formats.begin(), formats.end(), f) == formats.end()) formats.push_back(f);
        }
        for (D3DFORMAT f : formats) {
            for (BOOL windowed : {FALSE, TRUE}) {
                for (D3DMULTISAMPLE_TYPE samples : {D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_4_SAMPLES}) {
                    const HRESULT expected = direct_->CheckDeviceMultiSampleType(a, D3DDEVTYPE_HAL, f, windowed, samples);
                    const long got = win32_d3d8_api.check_device_multisample_type(
                        backend_, a, D3DDEVTYPE_HAL_, static_cast<uint32_t>(f), windowed, static_cast<uint32_t>(samples));
                    EXPECT_EQ(got, expected) << "adapter " << a << " format " << f << " windowed " << windowed
                                             << " samples " << samples;
                    (expected >= 0 ? supported : unsupported)++;
                }
            }
        }
    }
    // Windowed passed as any non-zero value means windowed.
    EXPECT_EQ(win32_d3d8_api.check_device_multisample_type(backend_, 0, D3DDEVTYPE_HAL_, FORMAT_X8R8G8B8, 7, 4),
              direct_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_4_SAMPLES));
    // An invalid device type is refused by Wine, and the refusal comes through.
    const HRESULT refused =
        direct_->CheckDeviceMultiSampleType(0, static_cast<D3DDEVTYPE>(99), D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_4_SAMPLES);
    EXPECT_EQ(win32_d3d8_api.check_device_multisample_type(backend_, 0, 99, FORMAT_X8R8G8B8, 1, 4), refused);
    std::printf("multisample probes: %d supported, %d not\n", supported, unsupported);
}

TEST_F(DirectD3D8, ReleaseReturnsTheRemainingReferences) {
    D3DObject* second = win32_d3d8_api.create(D3D_SDK_VERSION_8);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, backend_);
    reinterpret_cast<IDirect3D8*>(second)->AddRef();
    EXPECT_EQ(win32_d3d8_api.release(second), 1u);
    EXPECT_EQ(win32_d3d8_api.release(second), 0u);
}

// ---------------------------------------------------------------- argument passing
TEST(D3D8BackEnd, DescriptionFillingItsFieldComesBackTerminated) {
    StandInDirect3D8 stand_in;
    stand_in.driver_version = 0xFFFF006300642710ull;  // 65535.99.100.10000: every bit of the high word
    AdapterIdentifier got;
    std::memset(&got, 0x55, sizeof got);
    EXPECT_EQ(win32_d3d8_api.get_adapter_identifier(stand_in.handle(), 5, 2, &got), D3D_OK);
    EXPECT_EQ(stand_in.last_adapter, 5u);
    EXPECT_EQ(stand_in.last_flags, 2u);
    EXPECT_EQ(std::strlen(got.Description), sizeof got.Description - 1);
    EXPECT_EQ(std::string(got.Description), std::string(sizeof got.Description - 1, 'A'));
    EXPECT_EQ(got.DriverVersion, 0xFFFF006300642710ull);
}

TEST(D3D8BackEnd, IdentifierResultCodesComeThroughUnchanged) {
    for (HRESULT code : {S_FALSE, D3DERR_INVALIDCALL, D3DERR_NOTAVAILABLE, E_FAIL}) {
        StandInDirect3D8 stand_in;
        stand_in.result = code;
        AdapterIdentifier got;
        EXPECT_EQ(win32_d3d8_api.get_adapter_identifier(stand_in.handle(), 0, 0, &got), code);
        EXPECT_LE(std::strlen(got.Description), sizeof got.Description - 1);
    }
}

TEST(D3D8BackEnd, ModeQueriesPassTheirNumbers) {
    StandInDirect3D8 stand_in;
    EXPECT_EQ(win32_d3d8_api.get_adapter_count(stand_in.handle()), 7u);
    EXPECT_EQ(win32_d3d8_api.get_adapter_mode_count(stand_in.handle(), 4), 43u);
    stand_in.mode = {1400, 1050, 85, D3DFMT_X1R5G5B5};
    DisplayMode got = {};
    EXPECT_EQ(win32_d3d8_api.enum_adapter_modes(stand_in.handle(), 3, 17, &got), D3D_OK);
    EXPECT_EQ(stand_in.last_adapter, 3u);
    EXPECT_EQ(stand_in.last_mode, 17u);
    EXPECT_EQ(got.Width, 1400u);
    EXPECT_EQ(got.Height, 1050u);
    EXPECT_EQ(got.RefreshRate, 85u);
    EXPECT_EQ(got.Format, FORMAT_X1R5G5B5);
    stand_in.result = D3DERR_INVALIDCALL;
    EXPECT_EQ(win32_d3d8_api.enum_adapter_modes(stand_in.handle(), 0, 99, &got), D3DERR_INVALIDCALL);
}

TEST(D3D8BackEnd, MultisampleProbePassesEveryArgument) {
    struct Case {
        uint32_t adapter, device_type, format;
        int32_t windowed;
        uint32_t samples;
        HRESULT result;
        BOOL expected_windowed;
    };
    const Case cases[] = {
        {0, D3DDEVTYPE_HAL_, FORMAT_X8R8G8B8, 1, 2, D3D_OK, TRUE},
        {1, D3DDEVTYPE_HAL_, FORMAT_R5G6B5, 0, 4, D3DERR_NOTAVAILABLE, FALSE},
        {2, D3DDEVTYPE_HAL_, FORMAT_A8R8G8B8, 0, 2, D3DERR_INVALIDCALL, FALSE},
        {3, 2, FORMAT_X1R5G5B5, 1, 4, S_FALSE, TRUE},
    };
    for (const Case& c : cases) {
        StandInDirect3D8 stand_in;
        stand_in.result = c.result;
        EXPECT_EQ(win32_d3d8_api.check_device_multisample_type(stand_in.handle(), c.adapter, c.device_type, c.format,
                                                               c.windowed, c.samples),
                  c.result);
        EXPECT_EQ(stand_in.last_adapter, c.adapter);
        EXPECT_EQ(static_cast<uint32_t>(stand_in.last_device_type), c.device_type);
        EXPECT_EQ(static_cast<uint32_t>(stand_in.last_format), c.format);
        EXPECT_EQ(stand_in.last_windowed, c.expected_windowed);
        EXPECT_EQ(static_cast<uint32_t>(stand_in.last_samples), c.samples);
    }
}

TEST(D3D8BackEnd, ReleaseDropsOneReference) {
    StandInDirect3D8 stand_in;
    stand_in.references = 2;
    EXPECT_EQ(win32_d3d8_api.release(stand_in.handle()), 1u);
    EXPECT_EQ(win32_d3d8_api.release(stand_in.handle()), 0u);
}

// ---------------------------------------------------------------- the core on top
// Counts objects by wrapping the back end: an object is gone when Release says 0.
int objects_created = 0;
int objects_destroyed = 0;
D3DObject* counting_create(uint32_t version) {
    D3DObject* object = win32_d3d8_api.create(version);
    if (object) ++objects_created;
    return object;
}
uint32_t counting_release(D3DObject* object) {
    const uint32_t left = win32_d3d8_api.release(object);
    if (left == 0) ++objects_destroyed;
    return left;
}
const Direct3DApi counting_d3d8_api = {counting_create,
                                       win32_d3d8_api.get_adapter_count,
                                       win32_d3d8_api.get_adapter_identifier,
                                       win32_d3d8_api.get_adapter_mode_count,
                                       win32_d3d8_api.enum_adapter_modes,
                                       win32_d3d8_api.check_device_multisample_type,
                                       counting_release};

class AdapterListOnWine : public DirectD3D8 {
protected:
    void SetUp() override {
        DirectD3D8::SetUp();
        reset_fakes();
        objects_created = objects_destroyed = 0;
        platform.d3d8 = &counting_d3d8_api;
        HostWindow dialog = fake_dialog_handle();
        cache_control_handles(dialog);
        ASSERT_NE(adapter_control, nullptr);
        ASSERT_NE(resolution_control, nullptr);
    }
    void TearDown() override {
        // What the exit sequence does.
        if (d3d) {
            counting_release(d3d);
            d3d = nullptr;
        }
        EXPECT_EQ(objects_created, objects_destroyed) << "a Direct3D object outlived the dialog";
        DirectD3D8::TearDown();
    }

    // The sizes Wine lists that the resolution list offers: depth 16 or 32,
    // at least 640 wide, 4:3 within a thousandth.
    std::set<std::pair<UINT, UINT>> expected_sizes(UINT adapter) {
        std::set<std::pair<UINT, UINT>> sizes;
        for (UINT i = 0; i < direct_->GetAdapterModeCount(adapter); ++i) {
            D3DDISPLAYMODE m = {};
            if (FAILED(direct_->EnumAdapterModes(adapter, i, &m))) continue;
            if (m.Format != D3DFMT_A8R8G8B8 && m.Format != D3DFMT_X8R8G8B8 && m.Format != D3DFMT_R5G6B5 &&
                m.Format != D3DFMT_X1R5G5B5)
                continue;
            if (m.Width < 640 || m.Height == 0) continue;
            if (std::fabs(static_cast<double>(m.Width) / m.Height - 4.0 / 3.0) >= 0.001) continue;
            sizes.emplace(m.Width, m.Height);
        }
        return sizes;
    }
};

TEST_F(AdapterListOnWine, ListsWinesAdaptersWithTheirDriverVersion) {
    ASSERT_TRUE(build_adapter_list());
    ASSERT_NE(d3d, nullptr);

    std::vector<std::string> expected;
    for (UINT a = 0; a < direct_->GetAdapterCount(); ++a) {
        D3DADAPTER_IDENTIFIER8 id = {};
        if (SUCCEEDED(direct_->GetAdapterIdentifier(a, 0, &id))) expected.emplace_back(id.Description);
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER), expected);
    for (const std::string& text : fake_list_texts(IDC_ADAPTER)) EXPECT_FALSE(text.empty());
    EXPECT_EQ(fake_selected_text(IDC_ADAPTER), expected[0]);

    D3DADAPTER_IDENTIFIER8 first = {};
    ASSERT_EQ(direct_->GetAdapterIdentifier(0, 0, &first), D3D_OK);
    const uint64_t v = static_cast<uint64_t>(first.DriverVersion.QuadPart);
    char version[64];
    std::snprintf(version, sizeof version, "%u.%02u.%02u.%04u", static_cast<unsigned>(v >> 48),
                  static_cast<unsigned>((v >> 32) & 0xFFFF), static_cast<unsigned>((v >> 16) & 0xFFFF),
                  static_cast<unsigned>(v & 0xFFFF));
    const std::string shown = fake_control(IDC_DRIVER_VERSION)->text;
    EXPECT_EQ(shown.rfind("Driver version: ", 0), 0u) << shown;
    EXPECT_EQ(shown, std::string("Driver version: ") + version);
}

TEST_F(AdapterListOnWine, ResolutionListHoldsWinesFourByThreeSizes) {
    ASSERT_TRUE(build_adapter_list());
    const std::set<std::pair<UINT, UINT>> sizes = expected_sizes(0);
    ASSERT_FALSE(sizes.empty()) << "Wine lists no 4:3 mode of at least 640 pixels: nothing to compare";

    std::vector<std::string> expected;  // the set's order is the list's sorted order
    for (const auto& [w, h] : sizes) {
        char text[32];
        std::snprintf(text, sizeof text, "%4u x %4u", w, h);
        expected.emplace_back(text);
    }
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), expected);

    // Each item's entry carries the depths Wine lists for that size and the
    // multisample answers for the format the size first appeared in.
    const FakeControl* list = fake_control(IDC_RESOLUTION);
    ASSERT_NE(list, nullptr);
    for (const FakeItem& item : list->items) {
        const auto* entry = reinterpret_cast<const ModeEntry*>(item.data);
        ASSERT_NE(entry, nullptr);
        uint32_t depths = 0;
        D3DFORMAT first_format = D3DFMT_UNKNOWN;
        for (UINT i = 0; i < direct_->GetAdapterModeCount(0); ++i) {
            D3DDISPLAYMODE m = {};
            if (FAILED(direct_->EnumAdapterModes(0, i, &m)) || m.Width != entry->width || m.Height != entry->height)
                continue;
            uint32_t bit = 0;
            if (m.Format == D3DFMT_A8R8G8B8 || m.Format == D3DFMT_X8R8G8B8) bit = CAPS_32BIT;
            if (m.Format == D3DFMT_R5G6B5 || m.Format == D3DFMT_X1R5G5B5) bit = CAPS_16BIT;
            if (bit == 0) continue;
            if (first_format == D3DFMT_UNKNOWN) first_format = m.Format;
            depths |= bit;
        }
        ASSERT_NE(first_format, D3DFMT_UNKNOWN) << item.text;
        uint32_t caps = depths;
        const std::pair<BOOL, D3DMULTISAMPLE_TYPE> probes[4] = {{TRUE, D3DMULTISAMPLE_2_SAMPLES},
                                                               {TRUE, D3DMULTISAMPLE_4_SAMPLES},
                                                               {FALSE, D3DMULTISAMPLE_2_SAMPLES},
                                                               {FALSE, D3DMULTISAMPLE_4_SAMPLES}};
        const uint32_t bits[4] = {CAPS_MS2_WINDOWED, CAPS_MS4_WINDOWED, CAPS_MS2_FULLSCREEN, CAPS_MS4_FULLSCREEN};
        for (int p = 0; p < 4; ++p) {
            if (SUCCEEDED(direct_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, first_format, probes[p].first,
                                                              probes[p].second)))
                caps |= bits[p];
        }
        EXPECT_EQ(entry->caps, caps) << item.text;
    }
}

TEST_F(AdapterListOnWine, RebuildingLeavesExactlyOneObjectAlive) {
    ASSERT_TRUE(build_adapter_list());
    D3DObject* first = d3d;
    ASSERT_TRUE(build_adapter_list());
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(objects_created, 2);
    EXPECT_EQ(objects_destroyed, 1);
    EXPECT_EQ(objects_created - objects_destroyed, 1);
    // The object the dialog holds has exactly the one reference it owns.
    auto* object = reinterpret_cast<IDirect3D8*>(d3d);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    (void)first;
}

TEST_F(AdapterListOnWine, StoredAdapterOutOfRangeFallsBackToTheFirst) {
    settings.adapter = static_cast<uint8_t>(direct_->GetAdapterCount());
    ASSERT_TRUE(build_adapter_list());
    EXPECT_EQ(settings.adapter, 0);
    EXPECT_EQ(fake_control(IDC_ADAPTER)->selection, 0);
}

// ---------------------------------------------------------------- without d3d8.dll
// Run in a copy of this program that Wine does not give d3d8.dll.
TEST(D3D8Missing, ChildWithoutTheLibrary) {
    if (!running_as_child()) GTEST_SKIP() << "runs as a child of D3D8Missing.CreateFailsAndTheDialogReportsIt";
    report_to_parent("loadable", LoadLibraryA("d3d8.dll") != nullptr);
    report_to_parent("created", win32_d3d8_api.create(D3D_SDK_VERSION_8) != nullptr);
    reset_fakes();
    platform.d3d8 = &win32_d3d8_api;
    adapter_control = platform.host->get_item(fake_dialog_handle(), IDC_ADAPTER);
    report_to_parent("built", build_adapter_list());
    report_to_parent("object", d3d != nullptr);
    report_to_parent("items", static_cast<long long>(fake_list_texts(IDC_ADAPTER).size()));
}

TEST(D3D8Missing, CreateFailsAndTheDialogReportsIt) {
    ProgramCopy program("win32_tests_no_d3d8.exe");
    program.without_dll("d3d8");
    ASSERT_TRUE(program.ready());
    const ChildRun run = run_child_test("D3D8Missing.ChildWithoutTheLibrary", {}, program.path());
    ASSERT_TRUE(child_passed(run));
    ASSERT_EQ(child_value(run.output, "loadable"), "0") << "Wine still gave the child d3d8.dll";
    EXPECT_EQ(child_value(run.output, "created"), "0");
    EXPECT_EQ(child_value(run.output, "built"), "0");
    EXPECT_EQ(child_value(run.output, "object"), "0");
    EXPECT_EQ(child_value(run.output, "items"), "0");
}

}  // namespace
