// kelvra view: the live picture in a window on the X display until the window is closed or
// Ctrl-C, with the frame rate measured here once a second.
#include "CameraSession.h"
#include "Command.h"
#include "Options.h"
#include "kelvra/KelvraSdk.h"
#include "kelvra/win32.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// Ctrl-C ends the loop instead of the process, so the camera is stopped and released.
class InterruptGuard {
public:
    InterruptGuard() : previous(std::signal(SIGINT, OnInterrupt)) { interrupted = false; }
    ~InterruptGuard() { std::signal(SIGINT, previous); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previous)(int);
};

constexpr char kViewClass[] = "KelvraViewWindow";

// The close button only ends the message loop; the preview is stopped before the window goes.
LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A top-level window whose client area holds the camera's picture at full size.
class ViewWindow {
public:
    ViewWindow(const std::string& title, int32_t width, int32_t height) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ViewProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = kViewClass;
        RegisterClassExA(&windowClass);
        constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        RECT outer{0, 0, width, height};
        AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
        window = CreateWindowExA(0, kViewClass, title.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                 outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    }
    ~ViewWindow() {
        if (window) DestroyWindow(window);
        UnregisterClassA(kViewClass, GetModuleHandleA(nullptr));
    }
    ViewWindow(const ViewWindow&) = delete;
    ViewWindow& operator=(const ViewWindow&) = delete;

    HWND Handle() const { return window; }

private:
    HWND window = nullptr;
};

struct ViewReport {
    long frames = 0;
    double seconds = 0.0;
    bool closed = false;
};

// Runs the window's messages and counts the frames announced to it, printing the rate every second.
ViewReport Watch(HWND window, double limitSeconds, std::ostream& out) {
    ViewReport report;
    const auto start = Clock::now();
    auto secondStart = start;
    long framesThisSecond = 0;
    int32_t sdkRate = 0;
    out << std::fixed << std::setprecision(1);
    while (!interrupted && !report.closed) {
        if (limitSeconds > 0 && Clock::now() - start >= std::chrono::duration<double>(limitSeconds)) break;
        MSG message{};
        bool idle = true;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            idle = false;
            if (message.message == WM_QUIT) {
                report.closed = true;
                break;
            }
            if (message.hwnd == window && message.message == WM_CAMERA_FRAME) {
                if (message.wParam != 0) {
                    ++report.frames;
                    ++framesThisSecond;
                    sdkRate = reinterpret_cast<const FrameInfo*>(message.wParam)->frameRate;
                }
                continue;
            }
            DispatchMessageA(&message);
        }
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - secondStart).count();
        if (elapsed >= 1.0) {
            out << framesThisSecond / elapsed << " fps (the SDK measures " << sdkRate / 10.0 << ")" << std::endl;
            framesThisSecond = 0;
            secondStart = now;
        }
        if (idle) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report;
}

int View(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const auto options = ParseOptions(arguments, WithCameraOptions({"--seconds"}), err);
    if (!options || !options->positionals.empty()) return kExitUsage;
    const auto camera = ReadCameraOptions(*options, err);
    if (!camera) return kExitUsage;
    int32_t seconds = 0;
    if (options->Has("--seconds")) {
        const auto parsed = ParseNumber(options->values.at("--seconds"), "--seconds", 1, 86400, err);
        if (!parsed) return kExitUsage;
        seconds = *parsed;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        err << "kelvra: view needs an X display, and DISPLAY is not set\n";
        return kExitFailure;
    }

    CameraSession session(out, err, camera->simulation);
    if (session.Handle() == 0) return kExitFailure;
    const auto selected = session.Select(camera->number, err);
    if (!selected) return kExitFailure;
    const int32_t handle = session.Handle();
    const int32_t width = Kelvra_Width(handle);
    const int32_t height = Kelvra_Height(handle);
    ViewWindow view("kelvra view: " + selected->name, width, height);
    if (!view.Handle()) {
        err << "kelvra: the window could not be made\n";
        return kExitFailure;
    }
    // The preview draws into a child filling the window; the frames are announced to the window,
    // without a copy, for the count.
    const InterruptGuard interruptGuard;
    if (!Kelvra_SetPreviewWindow(handle, view.Handle(), 0, 0, width, height) ||
        !Kelvra_CallBackPreview(handle, view.Handle(), nullptr, 0, 1)) {
        err << "kelvra: the preview did not start: " << session.LastError() << '\n';
        return kExitFailure;
    }
    out << "viewing " << selected->name << ", " << width << " x " << height
        << "; close the window or press Ctrl-C to stop" << std::endl;
    const ViewReport report = Watch(view.Handle(), seconds, out);
    Kelvra_StopPreview(handle);
    out << report.frames << " frames in " << report.seconds
        << " s: " << (report.seconds > 0 ? report.frames / report.seconds : 0.0) << " fps"
        << (report.closed ? ", window closed"
            : interrupted ? ", interrupted"
                          : "")
        << '\n';
    return report.frames > 0 ? kExitSuccess : kExitFailure;
}

void ViewHelp(std::ostream& out) {
    out << "  --seconds S          stop after S seconds (1 to 86400) instead of waiting for the window\n"
           "                       to be closed or Ctrl-C\n";
}

constexpr Command kViewCommands[] = {
    {"view", "[-n NUMBER] [--seconds S]", "show the live picture in a window on the X display, with the frame rate",
     View, ViewHelp},
};

}  // namespace

std::span<const Command> ViewCommands() { return kViewCommands; }
