// The DirectDraw 7 back end against Wine's ddraw: the memory it reports equals
// a direct call, the probe on top rounds it, and Wine's own video memory
// setting drives the figure the dialog shows.
#include <windows.h>

#include <ddraw.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/state.h"
#include "child_process.h"
#include "fakes.h"
#include "probe/video_memory.h"
#include "win32_backends.h"

namespace {

using CreateExProc = HRESULT(WINAPI*)(GUID*, LPVOID*, REFIID, IUnknown*);

const GUID iid_direct_draw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

// The figure the dialog should show for a byte count, worked out here on its own.
int32_t expected_figure(uint32_t total_bytes) {
    const uint64_t megabytes = total_bytes / (1024u * 1024u);
    uint64_t figure = 1;
    while (figure < megabytes) figure *= 2;
    return static_cast<int32_t>(figure);
}

class DirectDDraw : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA("ddraw.dll");
        ASSERT_NE(module_, nullptr) << "Wine's ddraw.dll is missing";
        create_ = reinterpret_cast<CreateExProc>(reinterpret_cast<void*>(GetProcAddress(module_, "DirectDrawCreateEx")));
        ASSERT_NE(create_, nullptr);
        void* object = nullptr;
        ASSERT_EQ(create_(nullptr, &object, iid_direct_draw7, nullptr), DD_OK);
        direct_ = static_cast<IDirectDraw7*>(object);
        ASSERT_NE(direct_, nullptr);
    }
    void TearDown() override {
        if (direct_) {
            EXPECT_EQ(direct_->Release(), 0u);
        }
        if (module_) FreeLibrary(module_);
    }

    // Total and result of a direct GetAvailableVidMem with the four words.
    HRESULT direct_query(const uint32_t words[4], DWORD* total) {
        DDSCAPS2 caps;
        std::memcpy(&caps, words, sizeof caps);
        DWORD free_bytes = 0;
        return direct_->GetAvailableVidMem(&caps, total, &free_bytes);
    }

    HMODULE module_ = nullptr;
    CreateExProc create_ = nullptr;
    IDirectDraw7* direct_ = nullptr;
};

TEST_F(DirectDDraw, CreatesAnIDirectDraw7WithOneReference) {
    DDrawObject* object = reinterpret_cast<DDrawObject*>(0x1);
    ASSERT_GE(win32_ddraw_api.create(nullptr, &object), 0);
    ASSERT_NE(object, nullptr);
    // It answers to IDirectDraw7 and holds exactly one reference.
    void* again = nullptr;
    auto* unknown = reinterpret_cast<IUnknown*>(object);
    ASSERT_EQ(unknown->QueryInterface(iid_direct_draw7, &again), S_OK);
    EXPECT_EQ(again, static_cast<void*>(object));
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(win32_ddraw_api.release(object), 0u);
}

TEST_F(DirectDDraw, LocalVideoMemoryTotalEqualsADirectCall) {
    const uint32_t words[4] = {DDSCAPS_LOCALVIDMEM_, 0, 0, 0};
    DWORD expected = 0;
    ASSERT_EQ(direct_query(words, &expected), DD_OK);
    EXPECT_GT(expected, 0u);

    DDrawObject* object = nullptr;
    ASSERT_GE(win32_ddraw_api.create(nullptr, &object), 0);
    uint32_t total = 0xDEADBEEF;
    uint32_t free_bytes = 0xDEADBEEF;
    EXPECT_EQ(win32_ddraw_api.get_available_vid_mem(object, words, &total, &free_bytes), DD_OK);
    EXPECT_EQ(total, expected);
    EXPECT_NE(free_bytes, 0xDEADBEEFu);
    EXPECT_LE(free_bytes, total);
    EXPECT_EQ(win32_ddraw_api.release(object), 0u);
}

// Wine accepts any capability words, so where each word lands is checked on a
// stand-in object laid out like IDirectDraw7: the IUnknown three, then the
// interface's methods, GetAvailableVidMem being slot 23 (byte 0x5c on x86).
struct StandInDirectDraw {
    void* const* vtable;
    DWORD words[4];
    HRESULT result;
    DWORD total;
    DWORD free_bytes;
    ULONG references;
    int queries;
};

HRESULT STDMETHODCALLTYPE stand_in_get_available_vid_mem(StandInDirectDraw* self, DDSCAPS2* caps, DWORD* total,
                                                         DWORD* free_bytes) {
    ++self->queries;
    std::memcpy(self->words, caps, sizeof self->words);
    if (FAILED(self->result)) return self->result;
    *total = self->total;
    *free_bytes = self->free_bytes;
    return self->result;
}
ULONG STDMETHODCALLTYPE stand_in_release(StandInDirectDraw* self) { return --self->references; }

void* const* stand_in_vtable() {
    static void* slots[40] = {};
    slots[2] = reinterpret_cast<void*>(&stand_in_release);
    slots[23] = reinterpret_cast<void*>(&stand_in_get_available_vid_mem);
    return slots;
}

TEST(DDrawBackEnd, PassesTheFourWordsInPlaceAndBothCounts) {
    StandInDirectDraw stand_in = {stand_in_vtable(), {}, DD_OK, 0x87654321u, 0x12345678u, 1, 0};
    auto* object = reinterpret_cast<DDrawObject*>(&stand_in);
    const uint32_t words[4] = {0x10000000u, 0x22222222u, 0x33333333u, 0x44444444u};
    uint32_t total = 0;
    uint32_t free_bytes = 0;
    EXPECT_EQ(win32_ddraw_api.get_available_vid_mem(object, words, &total, &free_bytes), DD_OK);
    EXPECT_EQ(stand_in.queries, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(stand_in.words[i], words[i]) << "word " << i;
    EXPECT_EQ(total, 0x87654321u);
    EXPECT_EQ(free_bytes, 0x12345678u);
    EXPECT_EQ(win32_ddraw_api.release(object), 0u);
}

TEST(DDrawBackEnd, PassesFailureCodesOnUnchanged) {
    for (HRESULT code : {DDERR_INVALIDCAPS, DDERR_INVALIDPARAMS, DDERR_NODIRECTDRAWHW, E_FAIL}) {
        StandInDirectDraw stand_in = {stand_in_vtable(), {}, code, 0, 0, 1, 0};
        const uint32_t words[4] = {DDSCAPS_LOCALVIDMEM_, 0, 0, 0};
        uint32_t total = 0;
        uint32_t free_bytes = 0;
        const long got =
            win32_ddraw_api.get_available_vid_mem(reinterpret_cast<DDrawObject*>(&stand_in), words, &total, &free_bytes);
        EXPECT_EQ(got, code);
        EXPECT_LT(got, 0);
    }
}

TEST(DDrawBackEnd, ProbeReleasesTheObjectWhenTheQueryFails) {
    static StandInDirectDraw stand_in;
    stand_in = {stand_in_vtable(), {}, DDERR_INVALIDPARAMS, 0, 0, 1, 0};
    const DirectDrawApi api = {[](const Guid*, DDrawObject** out) -> long {
                                   *out = reinterpret_cast<DDrawObject*>(&stand_in);
                                   return DD_OK;
                               },
                               win32_ddraw_api.get_available_vid_mem, win32_ddraw_api.release};
    reset_fakes();
    platform.ddraw = &api;
    EXPECT_EQ(measure_video_memory(nullptr), 0);
    EXPECT_EQ(stand_in.queries, 1);
    EXPECT_EQ(stand_in.references, 0u);
}

struct Found {
    std::vector<GUID> guids;
};
BOOL WINAPI collect_device(GUID* guid, LPSTR, LPSTR, LPVOID context, HMONITOR) {
    if (guid) static_cast<Found*>(context)->guids.push_back(*guid);
    return TRUE;
}

// Wine accepts any device identifier (it has one display device), so this
// shows only that an identifier gets through without harm.
TEST_F(DirectDDraw, DeviceIdentifierIsPassedOn) {
    // The devices Wine enumerates are accepted, as they are directly.
    Found found;
    using EnumerateProc = HRESULT(WINAPI*)(LPDDENUMCALLBACKEXA, LPVOID, DWORD);
    auto enumerate =
        reinterpret_cast<EnumerateProc>(reinterpret_cast<void*>(GetProcAddress(module_, "DirectDrawEnumerateExA")));
    ASSERT_NE(enumerate, nullptr);
    ASSERT_EQ(enumerate(collect_device, &found, DDENUM_ATTACHEDSECONDARYDEVICES), DD_OK);
    GUID unknown_device = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    found.guids.push_back(unknown_device);
    for (GUID guid : found.guids) {
        void* direct = nullptr;
        const HRESULT expected = create_(&guid, &direct, iid_direct_draw7, nullptr);
        if (SUCCEEDED(expected) && direct) static_cast<IUnknown*>(direct)->Release();
        Guid device;
        std::memcpy(&device, &guid, sizeof device);
        DDrawObject* object = nullptr;
        const long got = win32_ddraw_api.create(&device, &object);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(object != nullptr, got >= 0);
        if (object) {
            EXPECT_EQ(win32_ddraw_api.release(object), 0u);
        }
    }
}

// ---------------------------------------------------------------- the probe on top
int ddraw_created = 0;
int ddraw_destroyed = 0;
long counting_create(const Guid* device, DDrawObject** out) {
    const long result = win32_ddraw_api.create(device, out);
    if (result >= 0 && *out) ++ddraw_created;
    return result;
}
uint32_t counting_release(DDrawObject* object) {
    const uint32_t left = win32_ddraw_api.release(object);
    if (left == 0) ++ddraw_destroyed;
    return left;
}
const DirectDrawApi counting_ddraw_api = {counting_create, win32_ddraw_api.get_available_vid_mem, counting_release};

TEST_F(DirectDDraw, ProbeShowsTheRoundedFigureAndKeepsNoObject) {
    const uint32_t words[4] = {DDSCAPS_LOCALVIDMEM_, 0, 0, 0};
    DWORD total = 0;
    ASSERT_EQ(direct_query(words, &total), DD_OK);

    reset_fakes();
    platform.ddraw = &counting_ddraw_api;
    ddraw_created = ddraw_destroyed = 0;
    const int32_t figure = measure_video_memory(nullptr);
    EXPECT_EQ(figure, expected_figure(total)) << "total bytes " << total;
    EXPECT_EQ(ddraw_created, 1);
    EXPECT_EQ(ddraw_destroyed, 1);
    std::printf("Wine reports %lu bytes of local video memory: %d MB\n", static_cast<unsigned long>(total), figure);
}

// ---------------------------------------------------------------- Wine's setting
// Wine's Direct3D reads its "VideoMemorySize" setting (MB, a string) when it
// is loaded, so each value is measured in a fresh child process. The setting
// is given to a copy of this program under AppDefaults, which Wine reads
// before the global HKCU\Software\Wine\Direct3D: other programs in the
// prefix never see it, and nothing is left behind if a run is cut short.
TEST(WineVideoMemorySetting, ChildMeasures) {
    if (!running_as_child()) GTEST_SKIP() << "runs as a child of WineVideoMemorySetting.DrivesTheFigure";
    reset_fakes();
    platform.ddraw = &win32_ddraw_api;
    report_to_parent("figure", measure_video_memory(nullptr));
    DDrawObject* object = nullptr;
    ASSERT_GE(win32_ddraw_api.create(nullptr, &object), 0);
    const uint32_t words[4] = {DDSCAPS_LOCALVIDMEM_, 0, 0, 0};
    uint32_t total = 0;
    uint32_t free_bytes = 0;
    ASSERT_GE(win32_ddraw_api.get_available_vid_mem(object, words, &total, &free_bytes), 0);
    report_to_parent("total", total);
    win32_ddraw_api.release(object);
}

class WineVideoMemorySetting : public ::testing::TestWithParam<int> {};

TEST_P(WineVideoMemorySetting, DrivesTheFigure) {
    const int megabytes = GetParam();
    const std::string text = std::to_string(megabytes);
    ProgramCopy program(("win32_tests_vram_" + text + ".exe").c_str());
    program.set("Direct3D", "VideoMemorySize", text);
    ASSERT_TRUE(program.ready());
    const ChildRun run = run_child_test("WineVideoMemorySetting.ChildMeasures", {}, program.path());
    ASSERT_TRUE(child_passed(run));
    EXPECT_EQ(child_value(run.output, "figure"), text);
    // The total is Wine's setting less what the desktop's frame buffer takes.
    const long long total = std::atoll(child_value(run.output, "total").c_str());
    EXPECT_LE(total, megabytes * 1024LL * 1024LL);
    EXPECT_GT(total, megabytes * 1024LL * 1024LL / 2);
}

// Wine's default here is far above these, so each value is visibly Wine's doing.
INSTANTIATE_TEST_SUITE_P(Megabytes, WineVideoMemorySetting, ::testing::Values(64, 128, 512));

// ---------------------------------------------------------------- without ddraw.dll
TEST(DDrawMissing, ChildWithoutTheLibrary) {
    if (!running_as_child()) GTEST_SKIP() << "runs as a child of DDrawMissing.CreateFailsAndTheProbeReportsZero";
    report_to_parent("loadable", LoadLibraryA("ddraw.dll") != nullptr);
    DDrawObject* object = reinterpret_cast<DDrawObject*>(0x1);
    report_to_parent("negative", win32_ddraw_api.create(nullptr, &object) < 0);
    report_to_parent("object", object != nullptr);
    reset_fakes();
    platform.ddraw = &win32_ddraw_api;
    report_to_parent("figure", measure_video_memory(nullptr));
}

TEST(DDrawMissing, CreateFailsAndTheProbeReportsZero) {
    ProgramCopy program("win32_tests_no_ddraw.exe");
    program.without_dll("ddraw");
    ASSERT_TRUE(program.ready());
    const ChildRun run = run_child_test("DDrawMissing.ChildWithoutTheLibrary", {}, program.path());
    ASSERT_TRUE(child_passed(run));
    ASSERT_EQ(child_value(run.output, "loadable"), "0") << "Wine still gave the child ddraw.dll";
    EXPECT_EQ(child_value(run.output, "negative"), "1");
    EXPECT_EQ(child_value(run.output, "object"), "0");
    EXPECT_EQ(child_value(run.output, "figure"), "0");
}

}  // namespace
