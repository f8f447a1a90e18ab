// The voice test back end against Wine's dpvoice, and the check on top of it.
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "app/state.h"
#include "child_process.h"
#include "dialog/voice_check.h"
#include "fakes.h"
#include "platform/winapi_values.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "win32_backends.h"

// The interface as the test declares it, on its own: IUnknown, then
// CheckAudioSetup. Not in the anonymous namespace, where the optimiser could
// decide that no object of it exists.
struct VoiceTestInterface : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CheckAudioSetup(const GUID*, const GUID*, HWND, DWORD) = 0;
};

namespace {

GUID to_guid(const Guid& guid) {
    GUID converted;
    std::memcpy(&converted, &guid, sizeof converted);
    return converted;
}

class ComApartment : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GE(CoInitialize(nullptr), 0); }
    void TearDown() override { CoUninitialize(); }
};

// What Wine's object answers when asked directly.
HRESULT direct_query(DWORD flags) {
    const GUID clsid = to_guid(CLSID_DirectPlayVoiceTest);
    const GUID iid = to_guid(IID_IDirectPlayVoiceTest);
    const GUID playback = to_guid(DSDEVID_DefaultVoicePlayback);
    const GUID capture = to_guid(DSDEVID_DefaultVoiceCapture);
    VoiceTestInterface* object = nullptr;
    const HRESULT created = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object));
    if (FAILED(created)) return created;
    const HRESULT result = object->CheckAudioSetup(&playback, &capture, nullptr, flags);
    object->Release();
    return result;
}

using VoiceOnWine = ComApartment;

TEST_F(VoiceOnWine, TheClassIsRegisteredAndCreated) {
    VoiceTestObject* object = reinterpret_cast<VoiceTestObject*>(0x1);
    const long created = win32_voice_api.create(&CLSID_DirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, &object);
    ASSERT_GE(created, 0) << std::hex << "CoCreateInstance: 0x" << created;
    ASSERT_NE(object, nullptr);
    auto* unknown = reinterpret_cast<IUnknown*>(object);
    EXPECT_EQ(unknown->AddRef(), 2u);
    EXPECT_EQ(win32_voice_api.release(object), 1u);
    EXPECT_EQ(win32_voice_api.release(object), 0u);
}

TEST_F(VoiceOnWine, UnknownClassFailsAndHandsOutNothing) {
    const Guid unknown_class = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    VoiceTestObject* object = reinterpret_cast<VoiceTestObject*>(0x1);
    EXPECT_EQ(win32_voice_api.create(&unknown_class, &IID_IDirectPlayVoiceTest, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    // The right class asked for an interface it lacks.
    const Guid unknown_interface = {0x87654321, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    object = reinterpret_cast<VoiceTestObject*>(0x1);
    EXPECT_EQ(win32_voice_api.create(&CLSID_DirectPlayVoiceTest, &unknown_interface, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST_F(VoiceOnWine, CheckAudioSetupAnswersLikeADirectCall) {
    for (DWORD flags : {DVFLAGS_QUERYONLY, DVFLAGS_ALLOWBACK}) {
        const HRESULT expected = direct_query(flags);
        VoiceTestObject* object = nullptr;
        ASSERT_GE(win32_voice_api.create(&CLSID_DirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, &object), 0);
        const long got = win32_voice_api.check_audio_setup(object, &DSDEVID_DefaultVoicePlayback,
                                                           &DSDEVID_DefaultVoiceCapture, nullptr, flags);
        EXPECT_EQ(got, expected) << "flags " << flags;
        EXPECT_EQ(win32_voice_api.release(object), 0u);
        std::printf("Wine's CheckAudioSetup with flags 0x%02lX: 0x%08lX\n", static_cast<unsigned long>(flags),
                    static_cast<unsigned long>(got));
    }
}

// Counts what the check does with the real object.
struct Seen {
    int created = 0;
    int checks = 0;
    uint32_t flags = 0;
    long result = 0;
    int releases_to_zero = 0;
} seen;
long seen_create(const Guid* clsid, const Guid* iid, VoiceTestObject** out) {
    const long result = win32_voice_api.create(clsid, iid, out);
    if (result >= 0) ++seen.created;
    return result;
}
long seen_check(VoiceTestObject* voice, const Guid* playback, const Guid* capture, HostWindow parent, uint32_t flags) {
    ++seen.checks;
    seen.flags = flags;
    seen.result = win32_voice_api.check_audio_setup(voice, playback, capture, parent, flags);
    return seen.result;
}
uint32_t seen_release(VoiceTestObject* voice) {
    const uint32_t left = win32_voice_api.release(voice);
    if (left == 0) ++seen.releases_to_zero;
    return left;
}
const VoiceTestApi seen_voice_api = {seen_create, seen_check, seen_release};

TEST_F(VoiceOnWine, CheckKeepsVoiceChatOnWhenTheQueryIsNotImplemented) {
    const HRESULT query = direct_query(DVFLAGS_QUERYONLY);
    // Wine's object answers the query with an error that is not "run setup":
    // the "any other error" row, without a wizard.
    ASSERT_LT(query, 0) << std::hex << query;
    ASSERT_NE(query, static_cast<HRESULT>(DVERR_RUNSETUP));

    reset_fakes();
    platform.voice = &seen_voice_api;
    seen = Seen{};
    EXPECT_TRUE(run_voice_audio_check());
    EXPECT_EQ(seen.created, 1);
    EXPECT_EQ(seen.checks, 1);
    EXPECT_EQ(seen.flags, DVFLAGS_QUERYONLY);
    EXPECT_EQ(seen.result, query);
    EXPECT_EQ(seen.releases_to_zero, 1);
}

TEST_F(VoiceOnWine, CheckingTheBoxStoresOn) {
    reset_fakes();
    platform.voice = &seen_voice_api;
    seen = Seen{};
    dialog_window = fake_dialog_handle();
    settings.voice_chat = 0;
    platform.host->set_check(dialog_window, IDC_VOICE_CHAT, BST_CHECKED);
    fake_command(IDC_VOICE_CHAT, 0);  // BN_CLICKED
    EXPECT_EQ(settings.voice_chat, 1);
    EXPECT_EQ(platform.host->get_check(dialog_window, IDC_VOICE_CHAT), static_cast<uint32_t>(BST_CHECKED));
    EXPECT_EQ(seen.created, 1);
    EXPECT_EQ(seen.releases_to_zero, 1);
}

// ---------------------------------------------------------------- argument passing
// A stand-in laid out like the published interface (IUnknown's three methods,
// then CheckAudioSetup) records exactly what the back end hands over.
struct StandInVoice {
    void* const* vtable;
    GUID playback;
    GUID capture;
    bool playback_null;
    bool capture_null;
    HWND parent;
    DWORD flags;
    HRESULT result;
    ULONG references;
};
HRESULT STDMETHODCALLTYPE stand_in_check(StandInVoice* self, const GUID* playback, const GUID* capture, HWND parent,
                                         DWORD flags) {
    self->playback_null = playback == nullptr;
    self->capture_null = capture == nullptr;
    if (playback) self->playback = *playback;
    if (capture) self->capture = *capture;
    self->parent = parent;
    self->flags = flags;
    return self->result;
}
ULONG STDMETHODCALLTYPE stand_in_release(StandInVoice* self) { return --self->references; }
void* const* stand_in_vtable() {
    static void* slots[4] = {nullptr, nullptr, reinterpret_cast<void*>(&stand_in_release),
                             reinterpret_cast<void*>(&stand_in_check)};
    return slots;
}

TEST(VoiceBackEnd, PassesDevicesParentAndFlagsAndTheResult) {
    StandInVoice stand_in = {};
    stand_in.vtable = stand_in_vtable();
    stand_in.result = static_cast<HRESULT>(DVERR_USERCANCEL);
    stand_in.references = 1;
    auto* object = reinterpret_cast<VoiceTestObject*>(&stand_in);
    HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    const long got = win32_voice_api.check_audio_setup(object, &DSDEVID_DefaultVoicePlayback,
                                                       &DSDEVID_DefaultVoiceCapture, parent, DVFLAGS_ALLOWBACK);
    EXPECT_EQ(got, DVERR_USERCANCEL);
    EXPECT_FALSE(stand_in.playback_null);
    EXPECT_FALSE(stand_in.capture_null);
    const GUID playback = to_guid(DSDEVID_DefaultVoicePlayback);
    const GUID capture = to_guid(DSDEVID_DefaultVoiceCapture);
    EXPECT_TRUE(IsEqualGUID(stand_in.playback, playback));
    EXPECT_TRUE(IsEqualGUID(stand_in.capture, capture));
    // The published values, byte for byte.
    const GUID published_playback = {0xDEF00002, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};
    EXPECT_TRUE(IsEqualGUID(stand_in.playback, published_playback));
    EXPECT_EQ(stand_in.parent, parent);
    EXPECT_EQ(stand_in.flags, static_cast<DWORD>(DVFLAGS_ALLOWBACK));
    EXPECT_EQ(win32_voice_api.release(object), 0u);
}

TEST(VoiceBackEnd, NoParentAndNoDevicesStayNull) {
    StandInVoice stand_in = {};
    stand_in.vtable = stand_in_vtable();
    stand_in.references = 1;
    EXPECT_EQ(win32_voice_api.check_audio_setup(reinterpret_cast<VoiceTestObject*>(&stand_in), nullptr, nullptr,
                                                nullptr, DVFLAGS_QUERYONLY),
              S_OK);
    EXPECT_TRUE(stand_in.playback_null);
    EXPECT_TRUE(stand_in.capture_null);
    EXPECT_EQ(stand_in.parent, nullptr);
    EXPECT_EQ(stand_in.flags, static_cast<DWORD>(DVFLAGS_QUERYONLY));
}

// ---------------------------------------------------------------- without dpvoice.dll
TEST(VoiceMissing, ChildWithoutTheLibrary) {
    if (!running_as_child()) GTEST_SKIP() << "runs as a child of VoiceMissing.CreateFailsAndVoiceChatGoesOff";
    ASSERT_GE(CoInitialize(nullptr), 0);
    report_to_parent("loadable", LoadLibraryA("dpvoice.dll") != nullptr);
    VoiceTestObject* object = reinterpret_cast<VoiceTestObject*>(0x1);
    report_to_parent("negative", win32_voice_api.create(&CLSID_DirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, &object) < 0);
    report_to_parent("object", object != nullptr);
    reset_fakes();
    platform.voice = &win32_voice_api;
    report_to_parent("keep", run_voice_audio_check());
    CoUninitialize();
}

TEST(VoiceMissing, CreateFailsAndVoiceChatGoesOff) {
    ProgramCopy program("win32_tests_no_dpvoice.exe");
    program.without_dll("dpvoice");
    ASSERT_TRUE(program.ready());
    const ChildRun run = run_child_test("VoiceMissing.ChildWithoutTheLibrary", {}, program.path());
    ASSERT_TRUE(child_passed(run));
    ASSERT_EQ(child_value(run.output, "loadable"), "0") << "Wine still gave the child dpvoice.dll";
    EXPECT_EQ(child_value(run.output, "negative"), "1");
    EXPECT_EQ(child_value(run.output, "object"), "0");
    EXPECT_EQ(child_value(run.output, "keep"), "0");
}

}  // namespace
