// velmora-config.exe driven from outside as a player drives it: real mouse clicks and keys (SendInput), lists dropped and
// chosen from, message boxes answered, the 35 stored bytes read back from the registry view the 32-bit engine reads.
//   setup_e2e <velmora-config.exe> [case | --shot]  every case, the one named, or shoot() below
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "settings/settings.h"

namespace {

// Wine is slow to start a process and to create Direct3D; bounded all the same. A step
// (the voice test's first object, say) took over 10 s on a loaded machine.
constexpr DWORD START_MS = 60000, STEP_MS = 30000;
constexpr const char* KEY = "Software\\Brannick\\Velmora";
char desktop[] = "SetupE2E";
std::string program;
int failures = 0;

bool report(bool ok, const std::string& what, int line) {
    return ok || (std::printf("  FAILED line %d: %s\n", line, what.c_str()), ++failures, false);
}
bool report_eq(long long got, long long want, const char* what, int line) {
    return report(got == want, std::string(what) + " is " + std::to_string(got) + ", not " + std::to_string(want), line);
}
#define CHECK(c) report((c), #c, __LINE__)
#define CHECK_EQ(got, want) report_eq((got), (want), #got, __LINE__)
#define REQUIRE(ok) do { if (!(ok)) return; } while (0)

template <class F> bool until(F done, DWORD ms = STEP_MS) {
    for (const DWORD t0 = GetTickCount(); !done(); Sleep(20)) if (GetTickCount() - t0 > ms) return false;
    return true;
}

// Compared field by field, so that a failure names every field that differs.
#define FIELDS(F)                                                                                                 \
    F(tag) F(adapter) F(width) F(height) F(bit_depth) F(refresh_rate) F(antialiasing) F(multipass_rendering)     \
    F(option_1028) F(fullscreen) F(hardware_tnl) F(vsync) F(low_detail_textures) F(triple_buffering) F(option_1011) \
    F(compressed_textures) F(true_color_textures) F(sound_disabled) F(disable_eax) F(suspend_when_inactive)      \
    F(software_mixing_only) F(speaker_config) F(voice_chat)
bool same_record(const SetupSettings& got, const SetupSettings& want, int line) {
#define F(f) &report_eq(int32_t(got.f), int32_t(want.f), #f, line)
    return true FIELDS(F);
}
#define CHECK_RECORD(got, want) same_record((got), (want), __LINE__)

std::vector<uint8_t> stored(REGSAM view = KEY_WOW64_32KEY) {  // empty when there is none
    std::vector<uint8_t> data(64);
    DWORD size = 64;
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, KEY_READ | view, &k)) return {};
    if (RegQueryValueExA(k, "Orvex_setup", nullptr, nullptr, data.data(), &size)) size = 0;
    return RegCloseKey(k), data.resize(size), data;
}
void store(const SetupSettings* s) {  // null: nothing, in either view
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, KEY, view, 0);
    HKEY k;
    if (s && !RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &k, nullptr))
        RegSetValueExA(k, "Orvex_setup", 0, REG_BINARY, reinterpret_cast<const BYTE*>(s), SETTINGS_SIZE), RegCloseKey(k);
}

LRESULT send(HWND w, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(w, message, wparam, lparam, SMTO_ABORTIFHUNG, STEP_MS, &result) ? LRESULT(result) : -999;
}
std::string text(HWND w, UINT message = WM_GETTEXT, WPARAM wparam = 512) {  // crosses processes as UTF-16
    wchar_t t[512] = {};
    send(w, message, wparam, reinterpret_cast<LPARAM>(t));
    return std::string(t, t + wcslen(t));  // the program's texts are ASCII
}
std::vector<std::string> entries(HWND list) {
    std::vector<std::string> out;
    for (LRESULT i = 0, n = send(list, CB_GETCOUNT); i < n; ++i) out.push_back(text(list, CB_GETLBTEXT, i));
    return out;
}
int number(const std::string& s) { return std::atoi(s.c_str()); }
bool size_of(const std::string& entry, int* w, int* h) { return std::sscanf(entry.c_str(), "%d x %d", w, h) == 2; }
HWND find(DWORD pid, const char* cls, const char* caption = nullptr) {  // visible, top-level
    DWORD owner = 0;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, cls, caption));)
        if (GetWindowThreadProcessId(w, &owner) && owner == pid && IsWindowVisible(w)) return w;
    return nullptr;
}

// Moves the mouse to `at` (default: the middle of `owner`) and clicks. X events from before the move (a window
// mapped under the old pointer) may still put the cursor back: `owner` reads them when sent a message, and the
// move is repeated until the cursor stays.
void click(HWND owner, POINT at = {-1, -1}) {
    RECT r;
    if (at.x < 0) GetWindowRect(owner, &r), at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    const LONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {{INPUT_MOUSE, {}}, {INPUT_MOUSE, {}}, {INPUT_MOUSE, {}}};
    // 0..65535 across the screen, rounded up: Wine's x * width >> 16 gives the very pixel back.
    in[0].mi = {(at.x * 65536 + w - 1) / w, (at.y * 65536 + h - 1) / h, 0, MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 0, 0};
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN, in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    auto there = [&] { POINT c{}; return GetCursorPos(&c) && c.x == at.x && c.y == at.y; };
    until([&] { return (there() && !send(owner, WM_NULL) && there()) || (SendInput(1, in, sizeof(INPUT)), false); });
    SendInput(2, in + 1, sizeof(INPUT));
}
void key(WORD vk) {
    INPUT in[2] = {{INPUT_KEYBOARD, {.ki = {vk, 0, 0, 0, 0}}}, {INPUT_KEYBOARD, {.ki = {vk, 0, KEYEVENTF_KEYUP, 0, 0}}}};
    SendInput(2, in, sizeof(INPUT));
}

struct Program {
    PROCESS_INFORMATION pi{};
    HWND dialog = nullptr;

    // Ready: the refill of the speaker list ends the initialisation, a reply to WM_NULL means the loop runs.
    bool start(const SetupSettings* stored_first) {
        store(stored_first);
        STARTUPINFOA si{};
        si.cb = sizeof si, si.lpDesktop = desktop;
        HWND error = nullptr;
        const bool ready =
            CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) &&
            until([&] {
                dialog = find(pi.dwProcessId, "#32770", "Velmora"), error = find(pi.dwProcessId, "#32770", "Setup error");
                return !alive() || error || (dialog && send(item(IDC_SPEAKERS), CB_GETCOUNT) == 5 && !send(dialog, WM_NULL));
            }, START_MS);
        return ready && alive() && !(error && std::printf("  the program shows its \"Setup error\" box\n"));
    }
    bool alive() const { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    long long exit_code() const {
        DWORD code = 0;
        return !WaitForSingleObject(pi.hProcess, STEP_MS) && GetExitCodeProcess(pi.hProcess, &code) ? code : -1;
    }
    HWND item(int id) const { return GetDlgItem(dialog, id); }
    bool checked(int id) const { return send(item(id), BM_GETCHECK) == BST_CHECKED; }
    int selection(int id) const { return static_cast<int>(send(item(id), CB_GETCURSEL)); }
    bool dropped(int id) const { return send(item(id), CB_GETDROPPEDSTATE) != 0; }
    HWND capture() const {
        GUITHREADINFO g{};
        return g.cbSize = sizeof g, GetGUIThreadInfo(pi.dwThreadId, &g) ? g.hwndCapture : nullptr;
    }
    std::string shown(int id) const { return text(item(id), CB_GETLBTEXT, selection(id)); }
    // Exit (Esc) with changes: the program's box that asks, once it is up.
    HWND asks() const {
        HWND b = nullptr;
        key(VK_ESCAPE);
        const auto up = [&] { return (b = find(pi.dwProcessId, "#32770", "WARNING...")) != nullptr; };
        return until(up) && FindWindowExA(b, nullptr, "Static", "Discard changes ?!") ? b : nullptr;
    }

    // A click whose effect shows; the program is done with it once it answers a message (its handlers pump none).
    template <class F> bool click_until(int id, F done) {
        click(item(id));
        return until([&] { return done() && !send(dialog, WM_NULL); });
    }
    bool toggle(int id) { return click_until(id, [&, was = checked(id)] { return checked(id) != was; }); }
    bool unfold() {  // the expert section lies below the fold
        return click_until(IDC_EXPERT_TOGGLE, [&] { return text(item(IDC_EXPERT_TOGGLE)) == "Close expert settings..."; });
    }
    // Drops the list with a click on its arrow; takes the entry with a click, or walks to it with arrow keys + Enter.
    bool pick(int id, int n, bool by_keys = false) {  // n < 0: from the end
        if (n < 0) n += static_cast<int>(send(item(id), CB_GETCOUNT));
        if (n == selection(id)) return false;  // a choice that changes nothing proves nothing
        RECT r{}, inside{};
        GetWindowRect(item(id), &r);
        click(dialog, {r.right - GetSystemMetrics(SM_CXVSCROLL) / 2 - 1, (r.top + r.bottom) / 2});
        // Dropped once the list holds the mouse: a click queued before then would still go to the box.
        HWND list = nullptr;
        if (!until([&] { return dropped(id) && (list = find(pi.dwProcessId, "ComboLBox")) && capture() == list; }))
            return false;
        for (int i = selection(id); by_keys && i != n; i += i < n ? 1 : -1) key(i < n ? VK_DOWN : VK_UP);
        POINT p{};
        if (by_keys) key(VK_RETURN);
        else if (send(list, LB_GETITEMRECT, n, reinterpret_cast<LPARAM>(&r)) >= 0 && GetClientRect(list, &inside) &&
                 PtInRect(&inside, p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2}) && ClientToScreen(list, &p))
            click(list, p);
        return until([&] { return !dropped(id) && selection(id) == n; });
    }
    ~Program() {  // a run cut short
        if (pi.hProcess) TerminateProcess(pi.hProcess, 99), WaitForSingleObject(pi.hProcess, STEP_MS);
        if (pi.hProcess) CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    }
};

// The record the controls show; what no control shows comes from `s`.
SetupSettings record_shown(const Program& p, SetupSettings s) {
    int w = 0, h = 0;
    if (size_of(p.shown(IDC_RESOLUTION), &w, &h)) s.width = w, s.height = h;
    if (const int a = p.selection(IDC_ADAPTER); a >= 0) s.adapter = uint8_t(send(p.item(IDC_ADAPTER), CB_GETITEMDATA, a));
    if (p.selection(IDC_BIT_DEPTH) >= 0) s.bit_depth = number(p.shown(IDC_BIT_DEPTH));
    if (p.selection(IDC_REFRESH) >= 0) s.refresh_rate = number(p.shown(IDC_REFRESH));  // "Default": 0
    if (p.selection(IDC_ANTIALIAS) >= 0) s.antialiasing = uint8_t(number(p.shown(IDC_ANTIALIAS)));
#define B(id, field) s.field = p.checked(id);
    B(IDC_MULTIPASS, multipass_rendering) B(IDC_FULLSCREEN, fullscreen) B(IDC_HW_TNL, hardware_tnl) B(IDC_VSYNC, vsync)
    B(IDC_TEX_LOW_DETAIL, low_detail_textures) B(IDC_TRIPLE_BUFFER, triple_buffering) B(IDC_VOICE_CHAT, voice_chat)
    B(IDC_TEX_COMPRESSED, compressed_textures) B(IDC_TEX_TRUE_COLOR, true_color_textures) B(IDC_DISABLE_EAX, disable_eax)
    B(IDC_SUSPEND_INACTIVE, suspend_when_inactive) B(IDC_SOFTWARE_MIXING, software_mixing_only)
    s.sound_disabled = !p.checked(IDC_SOUND), s.speaker_config = uint8_t(p.selection(IDC_SPEAKERS));
    return s;
}

// `s` with the profile of the top tier (above 64 MB of video memory; Wine says 4096 MB): 1024 x 768, or
// 1280 x 960 when the list held it before the profile ran.
SetupSettings top_profile(SetupSettings s, const Program& p, bool list_filled) {
    int mb = 0, w = 0, h = 0;
    CHECK(std::sscanf(text(p.item(IDC_VRAM)).c_str(), "VRAM: %dMB", &mb) == 1 && mb > 64);
    bool big = false;
    for (const std::string& e : entries(p.item(IDC_RESOLUTION))) big |= size_of(e, &w, &h) && w == 1280 && h == 960;
    s.width = big && list_filled ? 1280 : 1024, s.height = big && list_filled ? 960 : 768, s.bit_depth = 32;
    s.refresh_rate = 0, s.antialiasing = 0, s.multipass_rendering = 0, s.option_1028 = 0, s.fullscreen = 1;
    s.hardware_tnl = 1, s.vsync = 0, s.low_detail_textures = 0, s.triple_buffering = 1, s.option_1011 = 1;
    s.compressed_textures = 0, s.true_color_textures = 1, s.sound_disabled = 0, s.disable_eax = 0;
    s.suspend_when_inactive = 1, s.software_mixing_only = 1;
    return s;
}

// Stored: one the machine shows as it is, far from the profile, with a tag of its own, and in every byte that a
// choice below changes another value.
const SetupSettings STORED = [] {
    SetupSettings s = default_settings();
    s.tag = 0x2A, s.width = 800, s.height = 600, s.bit_depth = 16, s.option_1011 = 0, s.fullscreen = 1;
    return s.speaker_config = 1, s;
}();

// Save and exit (Enter, or a click) ends the program and stores what the dialog shows, `want`, in the 32-bit
// view only.
void saves(const Program& p, const SetupSettings& want, bool by_click = false) {
    CHECK_RECORD(record_shown(p, want), want);
    by_click ? click(p.item(IDOK)) : key(VK_RETURN);
    SetupSettings s{};
    if (!CHECK_EQ(p.exit_code(), 0) || !CHECK_EQ(stored().size(), SETTINGS_SIZE)) return;
    std::memcpy(&s, stored().data(), SETTINGS_SIZE);
    CHECK_RECORD(s, want) && CHECK(stored(KEY_WOW64_64KEY).empty());
}

// Nothing stored: the profile is shown, so Exit (Esc) asks. No keeps the dialog as it was; Yes ends the program
// and stores nothing, in either view. So the next start is a first start too: Enter (Save and exit) stores
// exactly what the dialog shows, in the 32-bit view only.
void first_start() {
    Program p;
    REQUIRE(CHECK(p.start(nullptr)));
    const SetupSettings shown = record_shown(p, default_settings());
    HWND box = p.asks();
    REQUIRE(CHECK(box != nullptr));
    click(GetDlgItem(box, IDNO));
    REQUIRE(CHECK(until([&] { return !IsWindow(box); }) && p.alive()));
    CHECK_RECORD(record_shown(p, default_settings()), shown);
    REQUIRE(CHECK(p.asks() != nullptr));
    key(VK_RETURN);  // Yes, the box's default button
    CHECK(p.exit_code() == 0 && stored().empty() && stored(KEY_WOW64_64KEY).empty());

    Program again;
    REQUIRE(CHECK(again.start(nullptr)));
    saves(again, top_profile(default_settings(), again, false));  // it ran before the lists were filled
}

// Choices from dropped lists (mouse and keys) and clicked boxes land in their bytes; the others stay as stored.
void choices_land_in_their_bytes() {
    SetupSettings want = STORED;
    Program p;
    REQUIRE(CHECK(p.start(&want)) && CHECK_RECORD(record_shown(p, want), want));
    // The size first: it refills the lists of rates, depths and antialiasing.
    const int size = p.selection(IDC_RESOLUTION) + 1;  // in sight when the list drops
    int w = 0, h = 0;
    REQUIRE(CHECK(size_of(entries(p.item(IDC_RESOLUTION)).at(size), &w, &h) && p.pick(IDC_RESOLUTION, size)));
    want.width = w, want.height = h;
    // The last entries: 32 bits (16 stored), the highest rate, the most antialiasing.
    CHECK(p.pick(IDC_BIT_DEPTH, -1, true) && p.pick(IDC_REFRESH, -1) && p.pick(IDC_ANTIALIAS, -1, true));
    const auto last = [&](int id) { return number(entries(p.item(id)).back()); };
    want.bit_depth = last(IDC_BIT_DEPTH), want.refresh_rate = last(IDC_REFRESH);
    want.antialiasing = uint8_t(last(IDC_ANTIALIAS));
    CHECK(p.pick(IDC_SPEAKERS, 3));
    want.speaker_config = 3;
    for (int id : {IDC_VSYNC, IDC_TEX_LOW_DETAIL, IDC_TEX_TRUE_COLOR, IDC_DISABLE_EAX, IDC_SOFTWARE_MIXING})
        CHECK(p.toggle(id));
    want.vsync = 1, want.low_detail_textures = 1, want.disable_eax = 1, want.software_mixing_only = 0;
    want.true_color_textures = 1, want.compressed_textures = 0;  // one excludes the other
    CHECK(p.unfold() && p.toggle(IDC_MULTIPASS) && p.toggle(IDC_SUSPEND_INACTIVE));
    want.multipass_rendering = 1, want.hardware_tnl = 0, want.suspend_when_inactive = 0;
    // Guard: under optimisation GCC once turned every CheckAudioSetup call of the hand-declared voice test
    // interface into a pure-virtual trap. No player can click this box (disabled in the template): the driver
    // enables it. Wine's voice test answers E_NOTIMPL, which keeps voice chat on.
    EnableWindow(p.item(IDC_VOICE_CHAT), TRUE);
    REQUIRE(CHECK(p.toggle(IDC_VOICE_CHAT)) && CHECK(p.alive()) && CHECK(p.checked(IDC_VOICE_CHAT)));
    want.voice_chat = 1;
    saves(p, want);
}

// After changes, Autodetect shows the profile again (1280 x 960 now, when listed) but keeps speakers and adapter,
// and tag and voice chat as stored.
void autodetect_keeps_speakers_and_adapter() {
    SetupSettings start = STORED;
    start.voice_chat = 1;
    Program p;
    REQUIRE(CHECK(p.start(&start)));
    CHECK(p.toggle(IDC_VSYNC) && p.toggle(IDC_TEX_LOW_DETAIL) && p.pick(IDC_SPEAKERS, 3));
    SetupSettings want = top_profile(start, p, true);
    want.speaker_config = 3;
    CHECK(p.click_until(IDC_AUTODETECT, [&] { return !p.checked(IDC_VSYNC); }));
    saves(p, want, true);
}

const struct { const char* name; void (*run)(); } CASES[] = {
    {"first_start", first_start}, {"choices_land_in_their_bytes", choices_land_in_their_bytes},
    {"autodetect_keeps_speakers_and_adapter", autodetect_keeps_speakers_and_adapter}};

// For tools/screenshot-win32.sh: a first start; prints the dialog's rectangle ("left top width height") folded
// and, after a line on stdin, unfolded; ends after another line.
int shoot() {
    Program p;
    auto shown = [&] {
        RECT r;
        send(p.dialog, WM_NULL), GetWindowRect(p.dialog, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top), std::fflush(stdout);
        return std::getchar() != EOF;
    };
    return p.start(nullptr) && shown() && p.unfold() && shown() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return std::fprintf(stderr, "usage: setup_e2e <velmora-config.exe> [case | --shot]\n"), 2;
    program = argv[1][0] == '/' ? std::string("Z:") + argv[1] : argv[1];  // Wine's Z: drive is /
    for (char& c : program) c = c == '/' ? '\\' : c;
    // A Wine virtual desktop of its own: it lists the usual sizes (the plain desktop offers the screen's own
    // alone), and this thread's input goes there.
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", desktop, REG_SZ, "1600x1200", 10);
    if (!SetThreadDesktop(CreateDesktopA(desktop, nullptr, nullptr, 0, GENERIC_ALL, nullptr)))
        return std::printf("no desktop of its own\n"), 1;
    if (argc > 2 && !strcmp(argv[2], "--shot")) return shoot();
    for (const auto& c : CASES)
        if (const int before = failures; argc < 3 || !strcmp(argv[2], c.name))
            c.run(), std::printf("%s %s\n", failures == before ? "ok  " : "FAIL", c.name);
    return store(nullptr), failures ? 1 : 0;
}
