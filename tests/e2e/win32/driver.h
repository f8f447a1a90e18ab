// Drives setup.exe from another process under Wine (or Windows): starts it,
// finds its dialog by title, reads and clicks its controls with real messages,
// answers its message boxes and reads the value it stores in the registry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "settings/settings.h"

namespace e2e {

// The program under test, as a Windows path; set by main.
inline std::string setup_exe;

inline constexpr const char* KEY_PATH = "Software\\Brannick\\Velmora";
inline constexpr const char* VALUE_NAME = "Orvex_setup";
// Wine is slow to start a process and to create Direct3D; bounded all the same.
inline constexpr DWORD START_TIMEOUT_MS = 90000;
inline constexpr DWORD STEP_TIMEOUT_MS = 30000;

// A Unix path from the build becomes the same file on Wine's Z: drive.
inline std::string windows_path(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

// ---------------------------------------------------------------- registry

// The engine is 32-bit, so the value lives in the 32-bit view on every build.
inline void delete_key(REGSAM view) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, view, 0);
}

inline void clean_registry() {
    delete_key(KEY_WOW64_32KEY);
    delete_key(KEY_WOW64_64KEY);
}

// The stored value, or empty when there is none.
inline std::vector<uint8_t> stored_value(REGSAM view = KEY_WOW64_32KEY) {
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

inline void store_value(const std::vector<uint8_t>& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, VALUE_NAME, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

inline SetupSettings as_record(const std::vector<uint8_t>& bytes) {
    SetupSettings s{};
    if (bytes.size() == SETTINGS_SIZE) std::memcpy(&s, bytes.data(), SETTINGS_SIZE);
    return s;
}

// ---------------------------------------------------------------- windows of the program

inline std::string class_of(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

// Caption of a top-level window (kept by the window manager, no message needed).
inline std::string caption_of(HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// The program's texts are ASCII; the driver reads them as UTF-16, the form in
// which Wine carries text between processes.
inline std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
    return out;
}

// Text of a control of another process: WM_GETTEXT crosses processes.
inline std::string text_of(HWND w) {
    wchar_t text[1024] = {};
    DWORD_PTR ignored;
    SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, STEP_TIMEOUT_MS,
                        &ignored);
    return narrow(text);
}

inline LRESULT send(HWND w, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(w, message, wparam, lparam, SMTO_ABORTIFHUNG, STEP_TIMEOUT_MS, &result)) return -999;
    return static_cast<LRESULT>(result);
}

// Its own visible style: IsWindowVisible also asks the desktop window, which
// is not visible from another desktop.
inline bool shown(HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

struct Search {
    DWORD pid;
    const char* caption;
    HWND found;
};

inline BOOL CALLBACK match_window(HWND w, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == search->pid && shown(w) && class_of(w) == "#32770" && caption_of(w) == search->caption) {
        search->found = w;
        return FALSE;
    }
    return TRUE;
}

inline BOOL CALLBACK search_desktop(LPSTR name, LPARAM param) {
    HDESK desktop = OpenDesktopA(name, 0, FALSE, DESKTOP_READOBJECTS | DESKTOP_ENUMERATE);
    if (!desktop) return TRUE;
    EnumDesktopWindows(desktop, match_window, param);
    CloseDesktop(desktop);
    return reinterpret_cast<Search*>(param)->found == nullptr;
}

// A visible dialog-class window of the process with that caption, or null.
// The program may run on a desktop of its own (a Wine virtual desktop).
inline HWND window_of(DWORD pid, const char* caption) {
    Search search{pid, caption, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    if (!search.found) EnumDesktopsA(GetProcessWindowStation(), search_desktop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline BOOL CALLBACK collect_static_text(HWND w, LPARAM param) {
    if (_stricmp(class_of(w).c_str(), "Static") == 0) {
        const std::string t = text_of(w);
        if (!t.empty()) *reinterpret_cast<std::string*>(param) += t;
    }
    return TRUE;
}

// The message of a message box: its text label.
inline std::string box_message(HWND box) {
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
    // The desktop to start on; null: the driver's own.
    char* desktop = nullptr;

    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool start() {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.lpDesktop = desktop;
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
            if (!IsWindow(window) || !shown(window)) return true;
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
    // A command as the control itself would send it to its dialog.
    void command(int id, int code) {
        send(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(item(id)));
    }
    // Waits for the box with that caption and presses one of its buttons;
    // false when no such box came.
    bool answer_box(const char* caption, int button, DWORD timeout_ms = STEP_TIMEOUT_MS) {
        HWND box = wait_for_box(caption, timeout_ms);
        if (!box) return false;
        PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
        return wait_gone(box);
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
inline SetupSettings record_shown(Program& p, const SetupSettings& stored_before) {
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

inline std::vector<uint8_t> bytes_of(const SetupSettings& s) {
    const auto* b = reinterpret_cast<const uint8_t*>(&s);
    return std::vector<uint8_t>(b, b + SETTINGS_SIZE);
}

inline std::string hex(const std::vector<uint8_t>& bytes) {
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
        const e2e::Outcome outcome = (p).wait_until_ready();                                        \
        if (outcome == e2e::Outcome::error_box) {                                                   \
            const std::string message = e2e::box_message((p).error_box);                            \
            PostMessageA(GetDlgItem((p).error_box, IDOK), BM_CLICK, 0, 0);                          \
            EXPECT_EQ((p).wait_exit(), 0u);                                                         \
            FAIL() << "the program ended with the \"Setup error\" box: " << message;              \
        }                                                                                           \
        ASSERT_EQ(outcome, e2e::Outcome::ready) << "no dialog in time";                             \
    } while (0)

class SetupExe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(setup_exe.empty()) << "usage: setup_e2e <path of setup.exe>";
        clean_registry();
    }
    void TearDown() override { clean_registry(); }
};

// A per-program Wine setting (REG_SZ under
// HKCU\Software\Wine\AppDefaults\setup.exe\<section>), read by Wine when
// setup.exe starts. Removed again on destruction, with the keys it left empty.
inline constexpr const char* WINE_APP_KEY = "Software\\Wine\\AppDefaults\\setup.exe";

inline void remove_wine_app_setting(const char* section, const char* name) {
    const std::string path = std::string(WINE_APP_KEY) + "\\" + section;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    // Deleting a key fails while it still holds subkeys; values of others stay.
    DWORD values = 0, subkeys = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(key);
        if (values == 0 && subkeys == 0) RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    }
    if (RegOpenKeyExA(HKEY_CURRENT_USER, WINE_APP_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        values = subkeys = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(key);
        if (values == 0 && subkeys == 0) RegDeleteKeyA(HKEY_CURRENT_USER, WINE_APP_KEY);
    }
}

struct WineAppSetting {
    WineAppSetting(const char* section_, const char* name_, const char* value) : section(section_), name(name_) {
        const std::string path = std::string(WINE_APP_KEY) + "\\" + section;
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    ~WineAppSetting() { remove_wine_app_setting(section, name); }
    WineAppSetting(const WineAppSetting&) = delete;
    WineAppSetting& operator=(const WineAppSetting&) = delete;

    const char* section;
    const char* name;
    bool ok = false;
};

inline bool running_on_wine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace e2e
