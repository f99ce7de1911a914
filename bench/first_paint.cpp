// SPDX-License-Identifier: GPL-2.0-or-later
// Starts a program and watches the X server until a top-level window of at
// least the given size has been drawn over its whole area: the time from the
// spawn to that moment is what a user waits for the first picture of the
// window. The server's DAMAGE extension reports every drawing into the
// window, so the program needs no instrumentation. After a short settling
// time the program's resident memory is read, then the program is ended.
//
//   first_paint WIDTH HEIGHT SETTLE_MS program [arguments...]
// prints "<milliseconds to first full paint> <resident KiB after settling>".
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Windows may die between an event and a request about them.
int ignore_errors(Display* /*display*/, XErrorEvent* /*error*/) { return 0; }

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

void end_program(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int k = 0; k < 200; ++k) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return;
        }
        ::usleep(10'000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Handles the events that are queued or arrive within timeout_ms.
template <class F> void pump(Display* display, int timeout_ms, F&& on_event) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (on_event(event)) {
                return;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        pollfd ready{ConnectionNumber(display), POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(left));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: first_paint WIDTH HEIGHT SETTLE_MS program [args...]\n");
        return 2;
    }
    const long want_w = std::strtol(argv[1], nullptr, 10);
    const long want_h = std::strtol(argv[2], nullptr, 10);
    const int settle_ms = static_cast<int>(std::strtol(argv[3], nullptr, 10));
    Display* display = nullptr;
    // A busy server may turn a connection away for a moment.
    for (int k = 0; k < 20 && display == nullptr; ++k) {
        display = XOpenDisplay(nullptr);
        if (display == nullptr) {
            ::usleep(50'000);
        }
    }
    if (display == nullptr) {
        std::fprintf(stderr, "first_paint: no X display\n");
        return 2;
    }
    int damage_event = 0;
    int damage_error = 0;
    if (!XDamageQueryExtension(display, &damage_event, &damage_error)) {
        std::fprintf(stderr, "first_paint: the X server has no DAMAGE extension\n");
        return 2;
    }
    XSetErrorHandler(ignore_errors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[4], nullptr, nullptr, argv + 4, environ) != 0) {
        std::fprintf(stderr, "first_paint: cannot start %s\n", argv[4]);
        return 2;
    }

    // Every new top-level window gets a damage watch before it can be drawn.
    std::map<Window, long> drawn_area;
    double first_paint_ms = -1;
    pump(display, 20'000, [&](const XEvent& event) {
        if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
            XDamageCreate(display, event.xcreatewindow.window, XDamageReportRawRectangles);
            drawn_area[event.xcreatewindow.window] = 0;
        } else if (event.type == damage_event + XDamageNotify) {
            const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(event);
            if (d.geometry.width < want_w || d.geometry.height < want_h) {
                return false;
            }
            long& area = drawn_area[d.drawable];
            area += static_cast<long>(d.area.width) * d.area.height;
            if (area >= want_w * want_h) {
                first_paint_ms =
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                return true;
            }
        }
        return false;
    });
    if (first_paint_ms < 0) {
        end_program(pid);
        std::fprintf(stderr, "first_paint: no %ldx%ld window was drawn\n", want_w, want_h);
        return 1;
    }
    pump(display, settle_ms, [](const XEvent&) { return false; });
    const long rss = resident_kib(pid);
    end_program(pid);
    std::printf("%.1f %ld\n", first_paint_ms, rss);
    return 0;
}
