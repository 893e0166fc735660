// An X display for the tests that check what the platform's windows show on screen, and a
// connection of the test's own that reads the pixels back from the server and acts as the user
// (resizing, covering, closing windows).
//
// Each test process starts a private Xvfb, so tests running side by side never cover each
// other's windows; where Xvfb is missing a display in DISPLAY is used, and where there is none
// the tests are skipped (or fail, when KELVRA_REQUIRE_DISPLAY is set, as CI does).
#pragma once

// GoogleTest first: Xlib's macros (None, Bool, ...) would break its headers.
#include <gtest/gtest.h>

#include "kelvra/win32.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kelvra::test {

class TestDisplay {
public:
    // The process's display, made on first use; null (with the reason) when there is none.
    static TestDisplay* Get(std::string& reason) {
        static TestDisplay display;
        reason = display.reason;
        return display.x ? &display : nullptr;
    }

    ::Display* X() const { return x; }

    // The window with this title (WM_NAME), searched from the root; 0 when there is none.
    ::Window FindByTitle(const char* title) const { return Find(DefaultRootWindow(x), title); }

    // Waits until condition holds (true) or a couple of seconds pass (false), running the
    // calling thread's messages meanwhile.
    static bool WaitFor(const std::function<bool()>& condition,
                        std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (condition()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    // What the server shows in a rectangle of the window, as 0x00RRGGBB, row by row.
    std::vector<uint32_t> Grab(::Window window, int left, int top, int width, int height) const {
        XSync(x, False);
        XImage* image = XGetImage(x, window, left, top, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        std::vector<uint32_t> pixels;
        if (image == nullptr) return pixels;
        pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int column = 0; column < width; ++column)
                pixels.push_back(static_cast<uint32_t>(XGetPixel(image, column, y) & 0xFFFFFF));
        XDestroyImage(image);
        return pixels;
    }

    // The client size the server gives the window.
    std::pair<int, int> Size(::Window window) const {
        XWindowAttributes attributes{};
        XGetWindowAttributes(x, window, &attributes);
        return {attributes.width, attributes.height};
    }

    bool Viewable(::Window window) const {
        XWindowAttributes attributes{};
        XGetWindowAttributes(x, window, &attributes);
        return attributes.map_state == IsViewable;
    }

    // What a window manager sends when the user clicks the close button.
    void PressCloseButton(::Window window) const {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, window, False, NoEventMask, &event);
        XSync(x, False);
    }

private:
    TestDisplay() {
        if (access("/usr/bin/Xvfb", X_OK) == 0 || access("/usr/local/bin/Xvfb", X_OK) == 0) {
            StartXvfb();
        } else if (std::getenv("DISPLAY") == nullptr) {
            reason = "no X display: Xvfb is not installed (scripts/setup.sh installs it) and DISPLAY is not set";
            return;
        }
        x = XOpenDisplay(nullptr);
        if (x == nullptr) reason = std::string("the X display ") + (std::getenv("DISPLAY") ?: "") + " does not answer";
    }

    // Xvfb picks a free display number and writes it to the pipe; it ends with this process.
    void StartXvfb() {
        int fds[2];
        if (pipe(fds) != 0) return;
        const pid_t child = fork();
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2048x1536x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) {
            reason = "Xvfb did not start";
            return;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }

    ::Window Find(::Window window, const char* title) const {
        char* name = nullptr;
        if (XFetchName(x, window, &name) && name) {
            const bool same = std::strcmp(name, title) == 0;
            XFree(name);
            if (same) return window;
        }
        ::Window root = 0, parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x, window, &root, &parent, &children, &count)) return 0;
        ::Window found = 0;
        for (unsigned i = 0; i < count && found == 0; ++i) found = Find(children[i], title);
        if (children) XFree(children);
        return found;
    }

    ::Display* x = nullptr;
    std::string reason;
};

// Skips the test without a display, or fails it where one is required.
#define KELVRA_REQUIRE_TEST_DISPLAY(display)                                            \
    std::string displayReason;                                                          \
    kelvra::test::TestDisplay* display = kelvra::test::TestDisplay::Get(displayReason); \
    if (display == nullptr) {                                                           \
        if (std::getenv("KELVRA_REQUIRE_DISPLAY")) FAIL() << displayReason;             \
        GTEST_SKIP() << displayReason;                                                  \
    }

}  // namespace kelvra::test
