// setup.exe from the outside: started with CreateProcess, its dialog found by
// title, read and clicked with real messages, its message boxes answered, and
// the registry value it leaves compared with what its controls showed.
//   setup_e2e <path of setup.exe> [gtest options]
#include "driver.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace e2e;

// ---------------------------------------------------------------- scenarios

TEST_F(SetupExe, FirstStartShowsEveryCaptionAndClosingAsks) {
    Program p;
    START_READY(p);
    EXPECT_EQ(p.text(IDOK), "Save and exit");
    EXPECT_EQ(p.text(IDCANCEL), "Exit");
    EXPECT_EQ(p.text(IDC_AUTODETECT), "Autodetect");
    EXPECT_EQ(p.text(IDC_EXPERT_TOGGLE), "Open expert settings...");
    EXPECT_EQ(p.text(IDC_FULLSCREEN_GROUP), "      Fullscreen");
    EXPECT_EQ(p.text(IDC_HW_TNL), "Hardware Transform&&Lighting");
    EXPECT_EQ(p.text(IDC_VERSION_LABEL), "ver. 1.05");
    EXPECT_EQ(p.list(IDC_SPEAKERS),
              (std::vector<std::string>{"Stereo headphones", "Stereo speakers", "Quadraphonic speakers",
                                        "5.1 surround sound speakers", "Current Windows speaker conf."}));
    EXPECT_FALSE(p.enabled(IDC_VOICE_CHAT));
    EXPECT_FALSE(p.list(IDC_ADAPTER).empty());
    EXPECT_EQ(p.text(IDC_DRIVER_VERSION).rfind("Driver version:", 0), 0u) << p.text(IDC_DRIVER_VERSION);
    // The first start applies the autodetect profile, which always turns full screen on.
    EXPECT_TRUE(p.checked(IDC_FULLSCREEN));
    EXPECT_TRUE(p.enabled(IDC_TRIPLE_BUFFER));

    // The profile differs from what is stored (nothing), so closing warns.
    PostMessageA(p.dialog, WM_CLOSE, 0, 0);
    HWND box = p.wait_for_box("WARNING...");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box_message(box), "Discard changes ?!");
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    EXPECT_EQ(p.wait_exit(), 0u);
    EXPECT_TRUE(stored_value().empty());
    EXPECT_TRUE(stored_value(KEY_WOW64_64KEY).empty());
}

TEST_F(SetupExe, SaveAndExitStoresWhatTheControlsShow) {
    {
        Program p;
        START_READY(p);
        p.click(IDC_VSYNC);
        // Whatever the profile chose, end with "True color" on.
        if (p.checked(IDC_TEX_TRUE_COLOR)) p.click(IDC_TEX_TRUE_COLOR);
        EXPECT_FALSE(p.checked(IDC_TEX_TRUE_COLOR));
        if (!p.checked(IDC_TEX_COMPRESSED)) p.click(IDC_TEX_COMPRESSED);
        EXPECT_TRUE(p.checked(IDC_TEX_COMPRESSED));
        p.click(IDC_TEX_TRUE_COLOR);
        p.click(IDC_TEX_LOW_DETAIL);
        p.click(IDC_DISABLE_EAX);
        p.choose(IDC_SPEAKERS, 1);
        p.click(IDC_EXPERT_TOGGLE);
        p.click(IDC_MULTIPASS);
        p.click(IDC_SUSPEND_INACTIVE);
        const std::vector<std::string> depths = p.list(IDC_BIT_DEPTH);
        if (depths.size() > 1) p.choose(IDC_BIT_DEPTH, 0);
        const std::vector<std::string> sizes = p.list(IDC_RESOLUTION);
        ASSERT_FALSE(sizes.empty()) << "no screen sizes listed";
        p.choose(IDC_RESOLUTION, 0);

        // The exclusive pairs as the player sees them.
        EXPECT_TRUE(p.checked(IDC_MULTIPASS));
        EXPECT_FALSE(p.checked(IDC_HW_TNL));
        EXPECT_TRUE(p.checked(IDC_TEX_TRUE_COLOR));
        EXPECT_FALSE(p.checked(IDC_TEX_COMPRESSED));
        EXPECT_EQ(p.selection(IDC_SPEAKERS), 1);

        const std::vector<uint8_t> expected = bytes_of(record_shown(p, default_settings()));
        p.post_click(IDOK);
        EXPECT_EQ(p.wait_exit(), 0u);
        const std::vector<uint8_t> stored = stored_value();
        ASSERT_EQ(stored.size(), SETTINGS_SIZE);
        SetupSettings want = as_record(expected);
        // No control shows the two flags of absent boxes: any click of the
        // shared group stores them as 0.
        want.option_1011 = 0;
        want.option_1028 = 0;
        EXPECT_EQ(hex(stored), hex(bytes_of(want)));
        EXPECT_TRUE(stored_value(KEY_WOW64_64KEY).empty() || sizeof(void*) == 4)
            << "a 64-bit build must store in the 32-bit view the engine reads";
    }

    // A new start shows the stored record and closes without a question.
    const std::vector<uint8_t> saved = stored_value();
    const SetupSettings s = as_record(saved);
    Program again;
    START_READY(again);
    EXPECT_EQ(again.checked(IDC_VSYNC), s.vsync == 1);
    EXPECT_EQ(again.checked(IDC_MULTIPASS), s.multipass_rendering == 1);
    EXPECT_EQ(again.checked(IDC_TEX_TRUE_COLOR), s.true_color_textures == 1);
    EXPECT_EQ(again.selection(IDC_SPEAKERS), s.speaker_config);
    EXPECT_EQ(hex(bytes_of(record_shown(again, s))), hex(saved));
    PostMessageA(again.dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(again.wait_exit(), 0u);
    EXPECT_EQ(hex(stored_value()), hex(saved)) << "closing writes nothing";
}

TEST_F(SetupExe, ExitWithChangesAsksNoKeepsTheDialogYesDiscards) {
    // A stored record that the dialog shows as it is: close at once, no box.
    SetupSettings start = default_settings();
    store_value(bytes_of(start));
    Program probe_run;
    START_READY(probe_run);
    const std::vector<uint8_t> consistent = bytes_of(record_shown(probe_run, start));
    PostMessageA(probe_run.dialog, WM_CLOSE, 0, 0);
    if (HWND box = probe_run.wait_for_box("WARNING...", 3000)) {
        // The probe corrected a default the machine cannot do; store what it shows.
        PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(probe_run.wait_exit(), 0u);
    store_value(consistent);

    Program p;
    START_READY(p);
    const bool vsync = p.checked(IDC_VSYNC);
    p.click(IDC_TEX_LOW_DETAIL);
    const bool low_detail = p.checked(IDC_TEX_LOW_DETAIL);

    p.post_click(IDCANCEL);
    HWND box = p.wait_for_box("WARNING...");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box_message(box), "Discard changes ?!");
    EXPECT_FALSE(IsWindowEnabled(p.dialog)) << "the box is modal to the dialog";
    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    ASSERT_TRUE(p.wait_gone(box));
    EXPECT_EQ(send(p.dialog, WM_NULL), 0);
    EXPECT_TRUE(p.alive());
    EXPECT_TRUE(IsWindowVisible(p.dialog));
    EXPECT_EQ(p.checked(IDC_TEX_LOW_DETAIL), low_detail);
    EXPECT_EQ(p.checked(IDC_VSYNC), vsync);

    p.post_click(IDCANCEL);
    box = p.wait_for_box("WARNING...");
    ASSERT_NE(box, nullptr);
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    EXPECT_EQ(p.wait_exit(), 0u);
    EXPECT_EQ(hex(stored_value()), hex(consistent)) << "Exit writes nothing";
}

// A named procedure: a lambda has no stdcall conversion on 32-bit builds.
INT_PTR CALLBACK no_dialog_proc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The full height of the template in this process, frame included: the same
// template from setup.exe, created hidden.
int template_window_height() {
    HMODULE module = LoadLibraryExA(setup_exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 0;
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETUP), MAKEINTRESOURCEA(5));
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, res)));
    int height = 0;
    if (bytes) {
        std::vector<uint8_t> copy(bytes, bytes + SizeofResource(module, res));
        uint32_t style;
        std::memcpy(&style, copy.data() + 12, 4);
        style &= ~uint32_t{WS_VISIBLE};
        std::memcpy(copy.data() + 12, &style, 4);
        HWND d = CreateDialogIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), nullptr,
                                            no_dialog_proc, 0);
        if (d) {
            RECT r;
            GetWindowRect(d, &r);
            height = r.bottom - r.top;
            DestroyWindow(d);
        }
    }
    FreeLibrary(module);
    return height;
}

TEST_F(SetupExe, FoldHidesEightyFivePixelsAndTheToggleRestoresThem) {
    const int full = template_window_height();
    ASSERT_GT(full, 85);
    store_value(bytes_of(default_settings()));
    Program p;
    START_READY(p);
    const RECT folded = p.window_rect();
    EXPECT_EQ(folded.bottom - folded.top, full - 85);
    EXPECT_EQ(p.text(IDC_EXPERT_TOGGLE), "Open expert settings...");
    // The bottom band lies below the folded window's lower edge.
    RECT band;
    GetWindowRect(p.item(IDC_EXPERT_GROUP), &band);
    EXPECT_GE(band.top, folded.bottom - 1);
    RECT ok;
    GetWindowRect(p.item(IDOK), &ok);
    EXPECT_LT(ok.bottom, folded.bottom);

    p.click(IDC_EXPERT_TOGGLE);
    const RECT open = p.window_rect();
    EXPECT_EQ(open.bottom - open.top, full);
    EXPECT_EQ(open.left, folded.left);
    EXPECT_EQ(open.top, folded.top);
    EXPECT_EQ(p.text(IDC_EXPERT_TOGGLE), "Close expert settings...");
    GetWindowRect(p.item(IDC_VERSION_LABEL), &band);
    EXPECT_LE(band.bottom, open.bottom);

    // Moved, then folded: the new top-left corner stays.
    SetWindowPos(p.dialog, nullptr, open.left - 40, open.top - 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    send(p.dialog, WM_NULL);
    p.click(IDC_EXPERT_TOGGLE);
    const RECT again = p.window_rect();
    EXPECT_EQ(again.bottom - again.top, full - 85);
    EXPECT_EQ(again.left, open.left - 40);
    EXPECT_EQ(again.top, open.top - 30);
    EXPECT_EQ(p.text(IDC_EXPERT_TOGGLE), "Open expert settings...");

    PostMessageA(p.dialog, WM_CLOSE, 0, 0);
    if (HWND box = p.wait_for_box("WARNING...", 3000)) PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    EXPECT_EQ(p.wait_exit(), 0u);
}

// Wine reads a program's DLL overrides from the registry when the program
// starts (an environment variable would not reach a child: Wine hands its own
// value on). An empty override disables the DLL.
constexpr const char* OVERRIDES_KEY = "Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides";

struct DisabledDll {
    explicit DisabledDll(const char* dll) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, OVERRIDES_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            ok = RegSetValueExA(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    ~DisabledDll() {
        RegDeleteKeyA(HKEY_CURRENT_USER, OVERRIDES_KEY);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\setup.exe");
    }
    bool ok = false;
};

TEST_F(SetupExe, WithoutDirect3DTheSetupErrorBoxEndsTheRunAndNothingIsStored) {
    if (!running_on_wine()) GTEST_SKIP() << "takes Direct3D 8 away through Wine's DLL overrides";
    DisabledDll no_d3d8("d3d8");
    ASSERT_TRUE(no_d3d8.ok);
    Program p;
    ASSERT_TRUE(p.start());
    ASSERT_EQ(p.wait_until_ready(), Outcome::error_box);
    EXPECT_EQ(box_message(p.error_box), "DirectX : Display devices could not be enumerated.");
    PostMessageA(GetDlgItem(p.error_box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(p.wait_exit(), 0u);
    EXPECT_TRUE(stored_value().empty());
}

// ---------------------------------------------------------------- the executable itself

struct DataFile {
    HMODULE module = LoadLibraryExA(setup_exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~DataFile() {
        if (module) FreeLibrary(module);
    }
    const uint8_t* resource(int id, int type, DWORD* size = nullptr) const {
        HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
        if (!res) return nullptr;
        if (size) *size = SizeofResource(module, res);
        return static_cast<const uint8_t*>(LockResource(LoadResource(module, res)));
    }
};

TEST(SetupExeResources, DialogStyleIsExactlyTheTemplates) {
    DataFile exe;
    ASSERT_NE(exe.module, nullptr);
    const uint8_t* dialog = exe.resource(IDD_SETUP, 5);
    ASSERT_NE(dialog, nullptr);
    uint32_t ex_style, style;
    std::memcpy(&ex_style, dialog + 8, 4);
    std::memcpy(&style, dialog + 12, 4);
    EXPECT_EQ(style, 0x90CA08C0u);
    EXPECT_EQ(ex_style, 0u);
}

TEST(SetupExeResources, LogoAndIconAreThere) {
    DataFile exe;
    const auto* logo = reinterpret_cast<const BITMAPINFOHEADER*>(exe.resource(IDB_LOGO, 2));
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->biWidth, 160);
    EXPECT_EQ(logo->biHeight, 112);
    EXPECT_EQ(logo->biBitCount, 8);
    EXPECT_EQ(logo->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_NE(exe.resource(IDI_SETUP, 14), nullptr);
}

// No DPI awareness (the fold is in pixels) and no requested execution level
// (it would switch off registry virtualization).
TEST(SetupExeResources, NoManifestAsksForDpiAwarenessOrAnExecutionLevel) {
    DataFile exe;
    for (int id = 1; id <= 3; ++id) {
        DWORD size = 0;
        const uint8_t* manifest = exe.resource(id, 24, &size);  // RT_MANIFEST
        if (!manifest) continue;
        const std::string text(reinterpret_cast<const char*>(manifest), size);
        EXPECT_EQ(text.find("requestedExecutionLevel"), std::string::npos);
        EXPECT_EQ(text.find("dpiAware"), std::string::npos);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) e2e::setup_exe = e2e::windows_path(argv[1]);
    return RUN_ALL_TESTS();
}
