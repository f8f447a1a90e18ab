// The built program as a player drives it, on the X display in DISPLAY (a
// virtual screen of the test's own): real pointer and key input through XTest,
// each run in a fresh XDG_CONFIG_HOME, the saved record checked byte by byte.
// Qt's headers first: Xlib's macros (Bool, Status) break them.
#include "dialog_host_portable.h"
#include "res/resource.h"
#include "settings/settings.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
Display* x;
const char* program;
fs::path work;

void require(bool ok, const std::string& what) { ok ? void() : throw std::runtime_error(what); }
// Waits up to 30 s: the program probes the display before it shows.
void wait_until(const std::function<bool()>& done, const std::string& what) {
    for (int i = 0; !done(); ++i, usleep(50000)) require(i < 600, what);
}
std::string bytes_of(SetupSettings s) { return {reinterpret_cast<const char*>(raw_bytes(&s)), SETTINGS_SIZE}; }
std::string read_all(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A mapped top-level window: the one with this title, or with none the open
// list (Qt shows it as an override-redirect window).
Window find(const char* title) {
    Window root, parent, *children = nullptr, found = 0;
    unsigned n = 0;
    XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &n);
    for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        char* name = nullptr;
        if (!XGetWindowAttributes(x, children[i], &a) || a.map_state != IsViewable) continue;
        if (title ? XFetchName(x, children[i], &name) && std::string(name) == title : a.override_redirect)
            found = children[i];
        if (name) XFree(name);
    }
    if (children) XFree(children);
    return found;
}
// Returns once the program has handled everything sent to window `w`
// before: Qt answers _NET_WM_PING from its event loop, which runs only after
// the dialog's initialisation (the dialog shows before its lists are filled).
void ping(Window w) {
    static long serial = 0;
    const Atom ping = XInternAtom(x, "_NET_WM_PING", False);
    XSelectInput(x, DefaultRootWindow(x), StructureNotifyMask);  // where the answer goes
    XEvent e{};
    e.xclient.type = ClientMessage, e.xclient.window = w, e.xclient.format = 32;
    e.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    e.xclient.data.l[0] = static_cast<long>(ping), e.xclient.data.l[1] = ++serial, e.xclient.data.l[2] = static_cast<long>(w);
    XSendEvent(x, w, False, NoEventMask, &e), XSync(x, False);
    wait_until([&] {
        for (XEvent r; XPending(x);)
            if (XNextEvent(x, &r), r.type == ClientMessage && r.xclient.data.l[0] == static_cast<long>(ping) &&
                                       r.xclient.data.l[1] == serial)
                return true;
        return false;
    }, "no answer to a ping");
}
void button(unsigned number, int times = 1) {  // 1 the left button, 5 the wheel a notch down
    for (int i = 0; i < times; ++i) XTestFakeButtonEvent(x, number, True, 0), XTestFakeButtonEvent(x, number, False, 0);
    XSync(x, False);
}
void click_at(int px, int py) { XTestFakeMotionEvent(x, -1, px, py, 0), button(1); }
void key(KeySym sym, KeySym modifier = 0) {
    const struct { KeySym k; Bool down; } steps[] = {{modifier, True}, {sym, True}, {sym, False}, {modifier, False}};
    for (const auto& step : steps)
        if (step.k) XTestFakeKeyEvent(x, XKeysymToKeycode(x, step.k), step.down, 0);
    XSync(x, False);
}

// One start of the program, with a stored record unless `stored` is empty.
struct Run {
    fs::path config, record;
    pid_t pid;
    int status = -1;
    int left = 0, top = 0;  // the dialog's client area on the screen
    Window dialog = 0;      // its window, once shown

    Run(const char* name, const std::string& stored, const char* display = std::getenv("DISPLAY"),
        const char* wayland = nullptr)
        : config(work / name / "config"), record(config / "Brannick/Velmora/Orvex_setup") {
        fs::create_directories(stored.empty() ? config : record.parent_path());
        if (!stored.empty()) std::ofstream(record, std::ios::binary) << stored;
        if ((pid = fork()) == 0) {
            setenv("XDG_CONFIG_HOME", config.c_str(), 1), setenv("DISPLAY", display, 1);
            // The caller's locale is not the program's: without a UTF-8 one Qt 6.8 says so on
            // stderr, which the Wayland case holds to the protocol log.
            setenv("LC_ALL", "C.UTF-8", 1);
            unsetenv("WAYLAND_DISPLAY"), unsetenv("QT_QPA_PLATFORM");
            if (wayland) setenv("WAYLAND_DISPLAY", wayland, 1), setenv("WAYLAND_DEBUG", "client", 1);
            dup2(open((work / name / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            execl(program, program, nullptr);
            _exit(127);
        }
    }
    ~Run() { status < 0 && kill(pid, SIGKILL) == 0 && waitpid(pid, nullptr, 0); }
    bool ended() {
        int s;
        if (status < 0 && waitpid(pid, &s, WNOHANG) == pid) status = s;
        return status >= 0;
    }
    void expect_exit(int code) {  // an exit status, no signal (an abort)
        try {
            wait_until([this] { return ended(); }, "the program did not end");
        } catch (const std::exception&) {
            const std::string bt = "gdb -p " + std::to_string(pid) + " -batch -ex 'thread apply all bt' > " +
                                   (config.parent_path() / "backtrace").string() + " 2>&1";
            if (std::system(bt.c_str())) {}
            throw;
        }
        require(WIFEXITED(status) && WEXITSTATUS(status) == code, "wait status " + std::to_string(status));
    }
    Window wait_for(const char* title) {
        Window w = 0;
        wait_until([&] { return (w = find(title)) != 0; }, title ? title : "no open list");
        return w;
    }
    void show() {
        dialog = wait_for("Velmora");
        Window child;
        XTranslateCoordinates(x, dialog, DefaultRootWindow(x), 0, 0, &left, &top, &child);
        XSetInputFocus(x, dialog, RevertToPointerRoot, CurrentTime);
        ping(dialog);  // initialised, and the focus taken: input now lands
    }
    // Control rectangles as the host lays out the template.
    void click(int32_t id) { click_at(left + qt_control_rect(id).center().x(), top + qt_control_rect(id).center().y()); }
    // A click on its arrow as a player makes it: the button held until the list shows. Qt
    // closes a list on a release it handles over 0.4 s after opening it (the end of a long
    // press); the release sent with the press was handled that late on a loaded machine and
    // the list closed at once. Where even the held button's release comes that late, the list
    // is opened again, and the run says so.
    XWindowAttributes open_list(int32_t id) {
        Window list_window = 0;
        for (int attempt = 1; !list_window; ++attempt) {
            require(attempt <= 3, "the list does not stay open");
            XTestFakeMotionEvent(x, -1, left + qt_control_rect(id).right() - 8, top + qt_control_rect(id).center().y(), 0);
            XTestFakeButtonEvent(x, 1, True, 0), XSync(x, False);
            wait_for(nullptr);
            XTestFakeButtonEvent(x, 1, False, 0), XSync(x, False);
            ping(dialog);  // the release handled
            if (!(list_window = find(nullptr))) std::printf("     the list closed on the release; again\n");
        }
        XWindowAttributes list;
        XGetWindowAttributes(x, list_window, &list);
        return list;
    }
    void list_closed() { wait_until([] { return !find(nullptr); }, "the list stays open"); }
    void click_row(int32_t id, int row, int rows) {  // rows inside a 1-pixel frame
        const XWindowAttributes list = open_list(id);
        click_at(list.x + list.width / 2, list.y + 1 + (list.height - 2) * (2 * row + 1) / (2 * rows));
        list_closed();
    }
    void save_and_expect(const std::string& expected) {
        click(IDOK);
        expect_exit(0);
        const std::string saved = read_all(record);
        for (size_t i = 0; i < expected.size(); ++i)
            require(saved.size() == expected.size() && saved[i] == expected[i],
                    "saved " + std::to_string(saved.size()) + " bytes, byte " + std::to_string(i) + " differs");
    }
};

// A window's pixels once they hold still (the same twice, 150 ms apart).
std::vector<unsigned long> settled_pixels(Window w, int width, int height) {
    std::vector<unsigned long> last, now;
    wait_until([&] {
        last.swap(now), now.clear(), usleep(150000);
        XImage* image = XGetImage(x, w, 0, 0, width, height, AllPlanes, ZPixmap);
        for (int py = 0; image && py < height; ++py)
            for (int px = 0; px < width; ++px) now.push_back(XGetPixel(image, px, py));
        if (image) XDestroyImage(image);
        return !now.empty() && now == last;
    }, "the picture does not settle");
    return now;
}

int failures = 0;
void check(const char* name, const std::function<void()>& body) {
    try {
        body(), std::printf("ok   %s\n", name);
    } catch (const std::exception& e) {
        std::printf("FAIL %s: %s\n", name, e.what()), ++failures;
    }
}

// ---------------------------------------------------------------- sway
// sway (wlroots) headless at output scale 1.5, the program a native client of
// it: Qt 6.5 and later take a compositor's fractional scale, which weston
// does not offer. Its own ctest test (e2e_native_sway), skipped where sway is
// older than 1.8 (no wp_fractional_scale_v1) or a tool is missing.
std::string output_of(const std::string& command) {
    std::string out;
    if (FILE* f = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
        pclose(f);
    }
    return out;
}
// Captures of a log's lines that match `pattern` after its first line that matches `after`. Line by
// line: libstdc++'s regex recurses per character, and one across a whole protocol log overflowed the stack.
std::vector<std::vector<std::string>> lines_after(const fs::path& log, const char* after, const char* pattern) {
    std::vector<std::vector<std::string>> found;
    const std::regex first(after), wanted(pattern);
    bool seen = !*after;
    std::istringstream lines(read_all(log));
    std::smatch m;
    for (std::string line; std::getline(lines, line);)
        if (!seen) seen = std::regex_search(line, first);
        else if (std::regex_search(line, m, wanted)) found.emplace_back(m.begin(), m.end());
    return found;
}
// In a client's protocol log (WAYLAND_DEBUG, libwayland 1.21 and 1.23 spellings): the dialog has
// taken the activated state, which Qt does before acknowledging the configure that brings it; and
// the "WARNING..." box has the keyboard.
bool activated(const fs::path& log) {
    return !lines_after(log, R"(xdg_toplevel[@#]\d+\.configure\([^)]*array\[[1-9])", R"(ack_configure\()").empty();
}
bool box_has_keyboard(const fs::path& log) {
    return !lines_after(log, R"(set_title\("WARNING\.\.\."\))", R"(wl_keyboard[@#]\d+\.enter\()").empty();
}
std::string sway_missing() {
    for (const char* tool : {"sway", "swaymsg", "wtype"})
        if (output_of(std::string("command -v ") + tool).empty()) return std::string("no ") + tool;
    const std::string version = output_of("sway --version 2>&1");
    std::smatch v;
    if (!std::regex_search(version, v, std::regex(R"((\d+)\.(\d+))")) || std::stoi(v[1]) * 100 + std::stoi(v[2]) < 108)
        return "sway 1.8 or later offers the fractional scale; found " + version.substr(0, version.find('\n'));
    return {};
}
void sway_at_one_and_a_half() {
    const fs::path runtime = work / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::ofstream(work / "sway.conf") << "xwayland disable\n";  // and nothing of the user's
    const pid_t sway = fork();
    if (sway == 0) {
        setenv("WLR_BACKENDS", "headless", 1), setenv("WLR_RENDERER", "pixman", 1);
        setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1), unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");
        dup2(open((work / "sway.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        execlp("sway", "sway", "-c", (work / "sway.conf").c_str(), nullptr);
        _exit(127);
    }
    struct Stop {
        pid_t pid;
        ~Stop() { kill(pid, SIGTERM), waitpid(pid, nullptr, 0); }
    } stop{sway};
    const std::string ipc =
        "'" + (runtime / ("sway-ipc." + std::to_string(getuid()) + "." + std::to_string(sway) + ".sock")).string() + "'";
    std::string socket;
    wait_until([&] {
        for (const auto& e : fs::directory_iterator(runtime))
            if (const std::string n = e.path().filename(); n.starts_with("wayland-") && !n.ends_with(".lock"))
                socket = n;
        return !socket.empty() &&
               output_of("swaymsg -s " + ipc + " -t get_version 2>&1").find("human_readable") != std::string::npos;
    }, "sway did not start");
    auto sway_msg = [&](const std::string& args) { return output_of("swaymsg -s " + ipc + " " + args + " 2>&1"); };
    // A 4:3 mode, which the lists offer (not the headless output's 1280 x 720).
    require(sway_msg("output HEADLESS-1 mode 1024x768 scale 1.5").find("\"success\": true") != std::string::npos,
            "no 1024 x 768 at scale 1.5");
    std::smatch mode;
    const std::string outputs = sway_msg("-t get_outputs");
    require(std::regex_search(outputs, mode, std::regex(R"("current_mode": \{\s*"width": (\d+),\s*"height": (\d+))")),
            "no output mode: " + outputs);

    // The seat has no keyboard until a virtual one is made, and a client
    // binds it only once told: a wtype made after the dialog lost its first
    // keys. One held open from before gives the seat its keyboard.
    setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
    struct Hold {
        FILE* f;
        ~Hold() { f && pclose(f); }
    } keyboard{popen("exec wtype -", "w")};
    wait_until([&] { return sway_msg("-t get_inputs").find("\"type\": \"keyboard\"") != std::string::npos; },
               "no virtual keyboard");
    auto type = [](const char* keys) { require(std::system((std::string("wtype ") + keys).c_str()) == 0, keys); };
    // Keys land once Qt has taken the activated state and the keyboard's focus.
    auto ready = [](const fs::path& log) {
        return activated(log) && !lines_after(log, "", R"(wl_keyboard[@#]\d+\.enter\()").empty();
    };

    SetupSettings stored = default_settings(), largest;
    stored.width = 800, stored.height = 600, stored.bit_depth = 16, stored.fullscreen = 1;
    largest = stored;
    largest.width = std::stoi(mode[1]), largest.height = std::stoi(mode[2]), largest.bit_depth = 32;
    {
        Run run("sway-keys", bytes_of(stored), "", socket.c_str());
        const fs::path log = work / "sway-keys" / "stderr";  // WAYLAND_DEBUG's
        // The fractional-scale object, and after its 1.5 (180/120) a buffer of
        // the window's size times 1.5.
        const char* scaled = R"(wp_fractional_scale_v1[@#]\d+\.preferred_scale\(180\))";
        const char* buffer = R"(create_buffer\(new id wl_buffer[@#]\d+, \d+, (\d+), (\d+),)";
        std::string size = "none";
        std::vector<std::vector<std::string>> max;  // the window's size, as the host fixes it
        wait_until([&] {
            max = lines_after(log, "", R"(xdg_toplevel[@#]\d+\.set_max_size\((\d+), (\d+)\))");
            const auto made = lines_after(log, scaled, buffer);
            if (max.empty() || made.empty() || !ready(log)) return false;
            size = max[0][1] + " x " + max[0][2] + " at 1.5: " + made.back()[1] + " x " + made.back()[2];
            return std::stoi(made.back()[1]) == std::lround(std::stoi(max[0][1]) * 1.5) &&
                   std::stoi(made.back()[2]) == std::lround(std::stoi(max[0][2]) * 1.5);
        }, "no activated dialog drawn at 1.5 (" + size + ")");
        require(!lines_after(log, R"(bind\(\d+, "wp_fractional_scale_manager_v1")", R"(get_fractional_scale\()")
                     .empty(),
                "no fractional-scale object");
        // sway floats it at its own size.
        const std::string tree = sway_msg("-t get_tree");
        const std::string rect = R"("type": "floating_con",[^{}]*"rect": \{\s*"x": \d+,\s*"y": \d+,\s*"width": )";
        require(std::regex_search(tree, std::regex(rect + max[0][1] + R"(,\s*"height": )" + max[0][2])),
                "not floating at " + max[0][1] + " x " + max[0][2] + ": " + tree);
        type("-k Tab -k End -k Return");  // the resolution list's last entry, saved
        run.expect_exit(0);
        const std::string saved = read_all(run.record);
        SetupSettings got{};
        std::memcpy(&got, saved.data(), std::min(saved.size(), sizeof got));
        require(saved == bytes_of(largest), "saved " + std::to_string(got.width) + " x " + std::to_string(got.height) +
                                                " x " + std::to_string(got.bit_depth) + ", " +
                                                std::to_string(saved.size()) + " bytes: not the output's largest mode");
    }
    Run run("sway-escape", bytes_of(stored), "", socket.c_str());
    const fs::path log = work / "sway-escape" / "stderr";
    wait_until([&] { return ready(log); }, "the dialog is not activated");
    type("-k Tab -k End -k Escape");  // a change, then "Exit": "Discard changes ?!"
    wait_until([&] {
        return run.ended() || box_has_keyboard(log);
    }, "no question");
    require(!run.ended(), "it ended without asking");
    type("-k Return");  // Yes
    run.expect_exit(0);
    require(read_all(run.record) == bytes_of(stored), "the record changed");
}
// A failed run's logs (each program's stderr, the compositor's) stay for a look.
int finish() {
    if (failures) return std::printf("logs: %s\n", work.c_str()), 1;
    fs::remove_all(work);
    return 0;
}
int sway_only() {
    work = fs::temp_directory_path() / ("e2e-native-sway-" + std::to_string(getpid()));
    if (const std::string why = sway_missing(); !why.empty())
        return std::printf("SKIPPED: sway at scale 1.5: %s\n", why.c_str()), 77;
    check("on sway at scale 1.5: the fractional scale taken, floating at its size, keys save, Escape asks",
          sway_at_one_and_a_half);
    return finish();
}

int main(int argc, char** argv) {
    program = argv[argc - 1];
    if (argc == 3 && std::string(argv[1]) == "--sway") return sway_only();
    x = XOpenDisplay(nullptr);
    if (argc != 2 || !x) return std::fprintf(stderr, "usage: DISPLAY=:n e2e_native_driver path/to/setup\n"), 2;
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows vanish while we look
    work = fs::temp_directory_path() / ("e2e-native-" + std::to_string(getpid()));

    // Stored values unlike the entries picked below, with hardware T&L on:
    // the speaker box then refills its list on every notification, which lost
    // the choice while the host reported the list closing before Qt applied it.
    SetupSettings before = default_settings();
    before.option_1011 = 0;  // no such box in the dialog: any notification clears it
    before.width = 800, before.height = 600, before.bit_depth = 16, before.fullscreen = 1, before.speaker_config = 3;
    SetupSettings after = before;
    after.width = 1600, after.height = 1200, after.bit_depth = 32, after.speaker_config = 2;

    check("choices from open lists: a click, arrow keys + Enter, the wheel + Enter", [&] {
        Run run("choices", bytes_of(before));
        run.show();
        run.open_list(IDC_SPEAKERS);  // "5.1 surround..." highlighted (a first opening's refill once reset it)
        key(XK_Up), key(XK_Up), key(XK_Return), run.list_closed();  // "Stereo speakers"
        run.open_list(IDC_SPEAKERS);  // again: the wheel moves on from there
        button(5), key(XK_Return), run.list_closed();  // "Quadraphonic speakers"
        run.click_row(IDC_RESOLUTION, 0, 1);  // this screen's one size, 1600 x 1200
        run.click_row(IDC_BIT_DEPTH, 0, 1);   // "32"
        run.save_and_expect(bytes_of(after));
    });
    check("typed text selects no speaker entry", [&] {
        // Without T&L and multipass the box keeps typed text; the host selected a matching entry.
        SetupSettings typed = after;
        typed.hardware_tnl = 0, typed.speaker_config = 3;
        Run run("typed", bytes_of(typed));
        run.show();
        run.click(IDC_SPEAKERS);
        key(XK_a, XK_Control_L), key(XK_S, XK_Shift_L);  // all of it replaced by "Stereo speakers"
        for (const char* c = "tereo speakers"; *c; ++c) key(*c == ' ' ? XK_space : static_cast<KeySym>(*c));
        run.save_and_expect(bytes_of(typed));
    });
    check("keys alone: Shift+Tab from the first list, Space flips a toggle, Up picks, Enter saves", [&] {
        SetupSettings keyed = before;  // T&L on: the speaker box refills on each notification
        keyed.disable_eax = 1, keyed.speaker_config = 2;
        Run run("keys", bytes_of(before));
        run.show();  // the focus starts on the adapter list; back past the expert button
        key(XK_Tab, XK_Shift_L), key(XK_Tab, XK_Shift_L), key(XK_space);  // "Disable EAX"
        key(XK_Tab, XK_Shift_L), key(XK_Tab, XK_Shift_L), key(XK_Up);     // the speakers: "Quadraphonic"
        key(XK_Return);
        run.expect_exit(0);
        require(read_all(run.record) == bytes_of(keyed), "the saved record is not the keyed one");
    });
    check("Exit on a first start asks; Yes discards", [&] {
        Run run("first-exit", "");
        run.show();
        key(XK_Escape);
        const Window box = run.wait_for("WARNING...");
        XSetInputFocus(x, box, RevertToPointerRoot, CurrentTime), ping(box);
        key(XK_Return);  // Yes, the default button
        run.expect_exit(0);
        require(fs::is_empty(run.config), "something was written");
    });
    check("Exit with a stored record ends at once, the record untouched", [&] {
        Run run("stored-exit", bytes_of(after));
        run.show();
        key(XK_Escape);
        wait_until([&] { return run.ended() || find("WARNING..."); }, "it stayed");
        require(run.ended(), "it asked \"Discard changes ?!\"");
        run.expect_exit(0);
        require(read_all(run.record) == bytes_of(after), "the record changed");
    });
    // Another client destroying a window (XDestroyWindow, as `xdotool windowclose`) left the
    // process waiting with no window, or a dead dialog behind the gone box: the run ends as
    // "Exit" does, without its question, nothing written.
    for (const char* gone : {"Velmora", "WARNING..."})
        check(gone[0] == 'V' ? "the dialog destroyed from outside" : "the question box destroyed from outside", [&] {
            Run run(gone[0] == 'V' ? "dialog-destroyed" : "box-destroyed", "");
            run.show();
            if (gone[0] == 'W') key(XK_Escape);  // a first start asks "Discard changes ?!"
            XDestroyWindow(x, run.wait_for(gone)), XSync(x, False);
            run.expect_exit(0);
            require(fs::is_empty(run.config), "something was written");
        });
    check("a display that does not answer: one line, exit code 1", [&] {
        std::string dead = ":4000";
        for (Display* d; (d = XOpenDisplay(dead.c_str())); XCloseDisplay(d)) dead += '0';
        Run run("dead-display", "", dead.c_str());
        run.expect_exit(1);
        const std::string err = read_all(work / "dead-display" / "stderr");
        require(!err.empty() && err.find('\n') == err.size() - 1, "not one line: " + err);
        require(fs::is_empty(run.config), "something was written");
    });
    check("on Wayland: the lists are the compositor's output's, keys save, stderr quiet, close asks", [&] {
        // weston's X11 back end, a 1024 x 768 output in a window on this
        // 1600 x 1200 screen; the program a Wayland client of it that could
        // reach this screen too. Its probe once read the X screen instead.
        const fs::path runtime = work / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        const pid_t weston = fork();
        if (weston == 0) {
            dup2(open((work / "weston.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            execlp("weston", "weston", "--backend=x11-backend.so", "--socket=e2e", "--width=1024", "--height=768",
                   "--no-config", "--idle-time=0", nullptr);
            _exit(127);
        }
        struct Stop {
            pid_t pid;
            ~Stop() { kill(pid, SIGTERM), waitpid(pid, nullptr, 0); }
        } stop{weston};
        Window screen = 0;  // weston's window, the only one on this screen (it names it in _NET_WM_NAME only)
        wait_until([&] {
            Window root, parent, *children = nullptr;
            unsigned n = 0;
            XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &n);
            for (unsigned i = 0; i < n; ++i) {
                XWindowAttributes a;
                if (XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable) screen = children[i];
            }
            if (children) XFree(children);
            return screen != 0;
        }, "no weston window");
        SetupSettings largest = before;
        largest.width = 1024, largest.height = 768, largest.bit_depth = 32;  // its one format
        // Focused before the dialog opens: a focus change after it left Qt's
        // dialog inactive for a moment, and a key then went nowhere.
        XSetInputFocus(x, screen, RevertToPointerRoot, CurrentTime);
        XSync(x, False);
        Run run("wayland", bytes_of(before), std::getenv("DISPLAY"), "e2e");
        const fs::path err = work / "wayland" / "stderr";  // WAYLAND_DEBUG's log
        // Keys go nowhere until Qt has taken the activated state.
        wait_until([&] { return activated(err); }, "the dialog is not activated");
        key(XK_Tab), key(XK_End), key(XK_Return);  // the resolution list's last entry, saved
        run.expect_exit(0);
        const std::string saved = read_all(run.record);
        SetupSettings got{};
        std::memcpy(&got, saved.data(), std::min(saved.size(), sizeof got));
        require(saved == bytes_of(largest), "the saved record (" + std::to_string(got.width) + " x " +
                                                std::to_string(got.height) + ", " + std::to_string(saved.size()) +
                                                " bytes) is not the output's largest mode");
        std::istringstream lines(read_all(err));
        for (std::string line; std::getline(lines, line);)
            require(line.empty() || line[0] == '[', "stderr: " + line);  // only the protocol log

        // The title bar is the dialog's own: Qt's decoration showed minimise and maximise on it.
        // Its close box fills the window's top-right corner, and asks as "Exit" on a first start.
        XWindowAttributes output;
        XGetWindowAttributes(x, screen, &output);
        const int w = output.width, h = output.height;
        const std::vector<unsigned long> desktop = settled_pixels(screen, w, h);
        Run first("wayland-close", "", std::getenv("DISPLAY"), "e2e");
        const fs::path first_err = work / "wayland-close" / "stderr";
        wait_until([&] { return activated(first_err); }, "the dialog is not activated");
        // The dialog is where the picture changed: whole columns and rows of it (the panel's clock
        // and the pointer change a few pixels at most). A still picture alone proved nothing: on a
        // loaded machine weston had not yet drawn the dialog, and the click went beside it.
        int right = w - 1, top = 0;
        wait_until([&] {
            const std::vector<unsigned long> shown = settled_pixels(screen, w, h);
            std::vector<int> column(w), row(h);
            for (int py = 0; py < h; ++py)
                for (int px = 0; px < w; ++px)
                    if (desktop[py * w + px] != shown[py * w + px]) ++column[px], ++row[py];
            right = w - 1, top = 0;
            while (right > 0 && column[right] < 100) --right;
            while (top < h - 1 && row[top] < 100) ++top;
            // As wide and as tall as the dialog's frame, or more.
            return std::count_if(column.begin(), column.end(), [](int n) { return n >= 100; }) >= 500 &&
                   std::count_if(row.begin(), row.end(), [](int n) { return n >= 100; }) >= 250;
        }, "the dialog is not on weston's output");
        int screen_x, screen_y;
        Window child;
        XTranslateCoordinates(x, screen, DefaultRootWindow(x), 0, 0, &screen_x, &screen_y, &child);
        // weston's X11 back end moves its pointer by the X pointer's motion from where that entered
        // its window: entered afresh, it lands where the X pointer is.
        XTestFakeMotionEvent(x, -1, screen_x + w, screen_y, 0);
        click_at(screen_x + right - 4, screen_y + top + 4);
        wait_until([&] { return box_has_keyboard(first_err); }, "no question from the close box");
        key(XK_Return);  // Yes, discarded
        first.expect_exit(0);
        require(fs::is_empty(first.config), "something was written");
    });
    return finish();
}
