// Start-up time to a ready dialog, and the peak memory on the way.
//
//   startup_probe --line  -- program [args...]
//   startup_probe --title TITLE -- program [args...]
//
// --line: the program prints one line on stdout once its dialog is shown
// (SETUP_EXIT_WHEN_SHOWN=1 in the native programs) and leaves; the line is
// echoed. --title: an X client on $DISPLAY (Qt on xcb, Wine) is ready when a
// top-level window named TITLE is mapped; the program is then killed.
//
// Prints one line: "<ms from exec to ready> <peak RSS in KiB> <CPU ms>". The
// peak RSS is what wait4 reports for the program's process (the figure GNU
// time calls "Maximum resident set size"), up to the moment it was ready; the
// CPU time is that process's user and system time, which, unlike the time to
// ready, does not grow while the process waits for a core others hold.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int timeout_ms = 120000;

double now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

bool has_title(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name) return false;
    const bool same = std::strcmp(name, title) == 0;
    XFree(name);
    return same;
}

int usage() {
    std::fprintf(stderr, "usage: startup_probe (--line | --title TITLE) -- program [args...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* title = nullptr;
    bool line = false;
    int i = 1;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--line") == 0) {
            line = true;
        } else if (std::strcmp(argv[i], "--title") == 0 && i + 1 < argc) {
            title = argv[++i];
        } else if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        } else {
            return usage();
        }
    }
    if (i >= argc || line == (title != nullptr)) return usage();

    Display* display = nullptr;
    if (title) {
        display = XOpenDisplay(nullptr);
        if (!display) {
            std::fprintf(stderr, "startup_probe: cannot open the X display\n");
            return 1;
        }
        // Every top-level window mapped from now on is reported.
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);
    }

    int out[2];
    if (pipe(out) != 0) return 1;
    const double start = now_ms();
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0) {
        if (line) dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execvp(argv[i], argv + i);
        std::perror("startup_probe: exec");
        _exit(127);
    }
    close(out[1]);

    double ready = -1;
    if (line) {
        char text[512];
        size_t used = 0;
        pollfd pfd{out[0], POLLIN, 0};
        while (used + 1 < sizeof text && poll(&pfd, 1, timeout_ms) > 0) {
            const ssize_t got = read(out[0], text + used, sizeof text - 1 - used);
            if (got <= 0) break;
            used += static_cast<size_t>(got);
            if (std::memchr(text, '\n', used)) {
                ready = now_ms();
                break;
            }
        }
        text[used] = '\0';
        if (ready >= 0) std::fprintf(stderr, "startup_probe: %s", text);
    } else {
        pollfd pfd{ConnectionNumber(display), POLLIN, 0};
        while (ready < 0) {
            while (ready < 0 && XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == MapNotify && has_title(display, event.xmap.window, title)) ready = now_ms();
            }
            if (ready < 0 && poll(&pfd, 1, timeout_ms) <= 0) break;
        }
        kill(child, SIGKILL);
    }
    close(out[0]);

    int status = 0;
    rusage usage_info{};
    if (ready < 0) kill(child, SIGKILL);
    wait4(child, &status, 0, &usage_info);
    if (display) XCloseDisplay(display);
    if (ready < 0) {
        std::fprintf(stderr, "startup_probe: %s never showed its dialog\n", argv[i]);
        return 1;
    }
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    std::printf("%.1f %ld %.1f\n", ready - start, usage_info.ru_maxrss, ms(usage_info.ru_utime) + ms(usage_info.ru_stime));
    return 0;
}
