// setup.exe from the outside: started with CreateProcess, its dialog found by
// title, read and clicked with real messages, its message boxes answered, and
// the registry value it leaves compared with what its controls showed.
//   setup_e2e <path of setup.exe> [gtest options]
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "settings/settings.h"

namespace {

std::string setup_exe;

constexpr const char* KEY_PATH = "Software\\Brannick\\Velmora";
constexpr const char* VALUE_NAME = "Orvex_setup";
// Wine is slow to start a process and to create Direct3D; bounded all the same.
constexpr DWORD START_TIMEOUT_MS = 90000;
constexpr DWORD STEP_TIMEOUT_MS = 30000;

// A Unix path from the build becomes the same file on Wine's Z: drive.
std::string windows_path(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

// ---------------------------------------------------------------- registry

// The engine is 32-bit, so the value lives in the 32-bit view on every build.
void delete_key(REGSAM view) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, view, 0);
}

void clean_registry() {
    delete_key(KEY_WOW64_32KEY);
    delete_key(KEY_WOW64_64KEY);
}

// The stored value, or empty when there is none.
std::vector<uint8_t> stored_value(REGSAM view = KEY_WOW64_32KEY) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return {};
    std::vector<uint8_t> data(256);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    const LONG result = RegQueryValueExA(key, VALUE_NAME, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return {};
    data.resize(size);
    return data;
}

void store_value(const std::vector<uint8_t>& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, VALUE_NAME, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

SetupSettings as_record(const std::vector<uint8_t>& bytes) {
    SetupSettings s{};
    if (bytes.size() == SETTINGS_SIZE) std::memcpy(&s, bytes.data(), SETTINGS_SIZE);
    return s;
}

// ---------------------------------------------------------------- windows of the program

std::string class_of(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

// Caption of a top-level window (kept by the window manager, no message needed).
std::string caption_of(HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// The program's texts are ASCII; the driver reads them as UTF-16, the form in
// which Wine carries text between processes.
std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
    return out;
}

// Text of a control of another process: WM_GETTEXT crosses processes.
std::string text_of(HWND w) {
    wchar_t text[1024] = {};
    DWORD_PTR ignored;
    SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, STEP_TIMEOUT_MS,
                        &ignored);
    return narrow(text);
}

LRESULT send(HWND w, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(w, message, wparam, lparam, SMTO_ABORTIFHUNG, STEP_TIMEOUT_MS, &result)) return -999;
    return static_cast<LRESULT>(result);
}

struct Search {
    DWORD pid;
    const char* caption;
    HWND found;
};

BOOL CALLBACK match_window(HWND w, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == search->pid && IsWindowVisible(w) && class_of(w) == "#32770" && caption_of(w) == search->caption) {
        search->found = w;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog-class window of the process with that caption, or null.
HWND window_of(DWORD pid, const char* caption) {
    Search search{pid, caption, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collect_static_text(HWND w, LPARAM param) {
    if (_stricmp(class_of(w).c_str(), "Static") == 0) {
        const std::string t = text_of(w);
        if (!t.empty()) *reinterpret_cast<std::string*>(param) += t;
    }
    return TRUE;
}

// The message of a message box: its text label.
std::string box_message(HWND box) {
    std::string text;
    EnumChildWindows(box, collect_static_text, reinterpret_cast<LPARAM>(&text));
    return text;
}

// ---------------------------------------------------------------- one run of the program

enum class Outcome { ready, error_box, exited, timed_out };

struct Program {
    PROCESS_INFORMATION pi{};
    HWND dialog = nullptr;
    HWND error_box = nullptr;
    bool started = false;

    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool start() {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string command = "\"" + setup_exe + "\"";
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        started = CreateProcessA(setup_exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                 &pi) != 0;
        return started;
    }

    bool alive() const { return started && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }

    // Until the dialog has finished its initialisation and waits for the
    // player, or the fatal error box is up, or the program has ended.
    Outcome wait_until_ready(DWORD timeout_ms = START_TIMEOUT_MS) {
        const DWORD start_tick = GetTickCount();
        while (GetTickCount() - start_tick < timeout_ms) {
            if (!alive()) return Outcome::exited;
            if ((error_box = window_of(pi.dwProcessId, "Setup error"))) return Outcome::error_box;
            dialog = window_of(pi.dwProcessId, "Velmora");
            // The refill of the speaker list is the last step of the
            // initialisation; a reply to WM_NULL means the message loop runs.
            if (dialog && send(GetDlgItem(dialog, IDC_SPEAKERS), CB_GETCOUNT) == 5 &&
                send(dialog, WM_NULL) == 0 && !window_of(pi.dwProcessId, "Setup error"))
                return Outcome::ready;
            Sleep(50);
        }
        return Outcome::timed_out;
    }

    HWND wait_for_box(const char* caption, DWORD timeout_ms = STEP_TIMEOUT_MS) {
        const DWORD start_tick = GetTickCount();
        while (GetTickCount() - start_tick < timeout_ms) {
            if (HWND box = window_of(pi.dwProcessId, caption)) {
                // Let the box finish its own initialisation.
                send(box, WM_NULL);
                return box;
            }
            if (!alive()) return nullptr;
            Sleep(50);
        }
        return nullptr;
    }

    bool wait_gone(HWND window, DWORD timeout_ms = STEP_TIMEOUT_MS) {
        const DWORD start_tick = GetTickCount();
        while (GetTickCount() - start_tick < timeout_ms) {
            if (!IsWindow(window) || !IsWindowVisible(window)) return true;
            Sleep(50);
        }
        return false;
    }

    // The exit code, or a marker when the program does not end in time.
    DWORD wait_exit(DWORD timeout_ms = STEP_TIMEOUT_MS) {
        if (WaitForSingleObject(pi.hProcess, timeout_ms) != WAIT_OBJECT_0) return 0xDEADBEEF;
        DWORD code = 0xDEADBEEF;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }

    HWND item(int id) const { return GetDlgItem(dialog, id); }

    // A click that opens no modal box: answered when the handler is done.
    void click(int id) { send(item(id), BM_CLICK); }
    // A click that may open a modal box: posted, so the driver is not stuck
    // inside the program's handler.
    void post_click(int id) { PostMessageA(item(id), BM_CLICK, 0, 0); }

    bool checked(int id) { return send(item(id), BM_GETCHECK) == BST_CHECKED; }
    bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
    std::string text(int id) { return text_of(item(id)); }
    int selection(int id) { return static_cast<int>(send(item(id), CB_GETCURSEL)); }
    LRESULT selected_data(int id) {
        const int sel = selection(id);
        return sel < 0 ? CB_ERR : send(item(id), CB_GETITEMDATA, static_cast<WPARAM>(sel));
    }
    std::vector<std::string> list(int id) {
        std::vector<std::string> out;
        const LRESULT n = send(item(id), CB_GETCOUNT);
        for (LRESULT i = 0; i < n; ++i) {
            wchar_t t[512] = {};
            DWORD_PTR ignored;
            SendMessageTimeoutW(item(id), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t),
                                SMTO_ABORTIFHUNG, STEP_TIMEOUT_MS, &ignored);
            out.push_back(narrow(t));
        }
        return out;
    }
    // The player picks an entry: the list selects it and tells its dialog.
    void choose(int id, int position) {
        send(item(id), CB_SETCURSEL, static_cast<WPARAM>(position));
        send(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item(id)));
    }

    RECT window_rect() const {
        RECT r{};
        GetWindowRect(dialog, &r);
        return r;
    }

    ~Program() {
        if (!started) return;
        if (alive()) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 10000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
};

// What the controls show, as the record the program should store.
SetupSettings record_shown(Program& p, const SetupSettings& stored_before) {
    SetupSettings s = stored_before;
    s.tag = 12;
    // A list without a selected entry shows nothing: the field keeps its value.
    if (p.selection(IDC_ADAPTER) >= 0) s.adapter = static_cast<uint8_t>(p.selected_data(IDC_ADAPTER));
    const int size = p.selection(IDC_RESOLUTION);
    int w = 0, h = 0;
    if (size >= 0 && std::sscanf(p.list(IDC_RESOLUTION).at(static_cast<size_t>(size)).c_str(), "%d x %d", &w, &h) == 2) {
        s.width = w;
        s.height = h;
    }
    if (p.selection(IDC_BIT_DEPTH) >= 0) s.bit_depth = static_cast<int32_t>(p.selected_data(IDC_BIT_DEPTH));
    if (p.selection(IDC_REFRESH) >= 0) s.refresh_rate = static_cast<int32_t>(p.selected_data(IDC_REFRESH));
    if (p.selection(IDC_ANTIALIAS) >= 0) s.antialiasing = static_cast<uint8_t>(p.selected_data(IDC_ANTIALIAS));
    s.multipass_rendering = p.checked(IDC_MULTIPASS);
    s.fullscreen = p.checked(IDC_FULLSCREEN);
    s.hardware_tnl = p.checked(IDC_HW_TNL);
    s.vsync = p.checked(IDC_VSYNC);
    s.low_detail_textures = p.checked(IDC_TEX_LOW_DETAIL);
    s.triple_buffering = p.checked(IDC_TRIPLE_BUFFER);
    s.compressed_textures = p.checked(IDC_TEX_COMPRESSED);
    s.true_color_textures = p.checked(IDC_TEX_TRUE_COLOR);
    s.sound_disabled = !p.checked(IDC_SOUND);
    s.disable_eax = p.checked(IDC_DISABLE_EAX);
    s.suspend_when_inactive = p.checked(IDC_SUSPEND_INACTIVE);
    s.software_mixing_only = p.checked(IDC_SOFTWARE_MIXING);
    s.speaker_config = static_cast<uint8_t>(p.selection(IDC_SPEAKERS));
    s.voice_chat = p.checked(IDC_VOICE_CHAT);
    return s;
}

std::vector<uint8_t> bytes_of(const SetupSettings& s) {
    const auto* b = reinterpret_cast<const uint8_t*>(&s);
    return std::vector<uint8_t>(b, b + SETTINGS_SIZE);
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char b[4];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02X ", v);
        out += b;
    }
    return out;
}

// Starts the program and waits for its dialog; a fatal error box is read,
// answered and reported as a failure.
#define START_READY(p)                                                                              \
    do {                                                                                            \
        ASSERT_TRUE((p).start()) << "CreateProcess failed: " << GetLastError();                    \
        const Outcome outcome = (p).wait_until_ready();                                             \
        if (outcome == Outcome::error_box) {                                                        \
            const std::string message = box_message((p).error_box);                                 \
            PostMessageA(GetDlgItem((p).error_box, IDOK), BM_CLICK, 0, 0);                          \
            EXPECT_EQ((p).wait_exit(), 0u);                                                         \
            FAIL() << "the program ended with the \"Setup error\" box: " << message;              \
        }                                                                                           \
        ASSERT_EQ(outcome, Outcome::ready) << "no dialog in time";                                  \
    } while (0)

class SetupExe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(setup_exe.empty()) << "usage: setup_e2e <path of setup.exe>";
        clean_registry();
    }
    void TearDown() override { clean_registry(); }
};

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
                                            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
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

bool running_on_wine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

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
    if (argc > 1) setup_exe = windows_path(argv[1]);
    return RUN_ALL_TESTS();
}
