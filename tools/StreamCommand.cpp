// kelvra stream: a callback preview for a while, and what came of it — frames received, the rate
// measured here and by the SDK, frames lost on the way and the time between frames. The quick
// health check of a camera and its connection.
#include "CameraSession.h"
#include "ColourOption.h"
#include "Command.h"
#include "Options.h"
#include "kelvra/KelvraSdk.h"
#include "kelvra/KelvraSim.h"

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <map>
#include <ostream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A message-only window of this thread that the frames are announced to.
class Listener {
public:
    Listener() {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "KelvraStreamListener";
        RegisterClassExA(&windowClass);
        window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    }
    ~Listener() {
        if (window) DestroyWindow(window);
    }
    HWND Window() const { return window; }

private:
    HWND window = nullptr;
};

struct StreamReport {
    long frames = 0;
    std::map<LPARAM, long> errors;  // frame errors by code
    int32_t sdkRate = 0;            // the SDK's last figure, frames per 10 s
    double seconds = 0.0;
    double longestGapMs = 0.0;
};

StreamReport Watch(HWND window, double seconds) {
    StreamReport report;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    auto last = start;
    while (Clock::now() < end) {
        MSG message{};
        if (!PeekMessageA(&message, window, WM_CAMERA_FRAME, WM_CAMERA_FRAME, PM_REMOVE)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (message.wParam == 0) {
            ++report.errors[message.lParam];
            continue;
        }
        const auto now = Clock::now();
        if (report.frames > 0)
            report.longestGapMs =
                std::max(report.longestGapMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        ++report.frames;
        report.sdkRate = reinterpret_cast<const FrameInfo*>(message.wParam)->frameRate;
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report;
}

void PrintReport(const StreamReport& report, long sentBySimulator, std::ostream& out) {
    const double rate = report.seconds > 0 ? report.frames / report.seconds : 0.0;
    out << std::fixed << std::setprecision(1);
    out << std::left << std::setw(22) << "frames received" << report.frames << " in " << report.seconds << " s\n";
    out << std::left << std::setw(22) << "frame rate" << rate << " fps (the SDK measures " << report.sdkRate / 10.0
        << ")\n";
    if (report.frames > 0)
        out << std::left << std::setw(22) << "time per frame" << 1000.0 / rate << " ms on average, "
            << report.longestGapMs << " ms at most\n";
    long failed = 0;
    for (const auto& [code, count] : report.errors) failed += count;
    out << std::left << std::setw(22) << "frames failed" << failed;
    for (const auto& [code, count] : report.errors) out << " (" << count << " with error " << code << ')';
    out << '\n';
    if (sentBySimulator >= 0) {
        // The simulator counts what it sent; the preview takes the newest frame, so a slower
        // consumer skips frames rather than falling behind.
        out << std::left << std::setw(22) << "frames skipped" << std::max(0L, sentBySimulator - report.frames) << " of "
            << sentBySimulator << " sent by the simulated camera\n";
    }
}

int Stream(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const auto options = ParseOptions(arguments, WithCameraOptions({"--seconds", "--colour"}), err);
    if (!options || !options->positionals.empty()) return kExitUsage;
    const auto camera = ReadCameraOptions(*options, err);
    if (!camera) return kExitUsage;
    int32_t seconds = 3;
    if (options->Has("--seconds")) {
        const auto parsed = ParseNumber(options->values.at("--seconds"), "--seconds", 1, 3600, err);
        if (!parsed) return kExitUsage;
        seconds = *parsed;
    }
    const auto colour = ReadColourOption(*options, err);
    if (!colour) return kExitUsage;

    const ColourChoice choice(*colour);
    CameraSession session(out, err, camera->simulation);
    choice.Restore();
    if (session.Handle() == 0 || !session.Select(camera->number, err)) return kExitFailure;
    const int32_t handle = session.Handle();
    Listener listener;
    // No window of its own: the tool counts frames, it does not show them.
    const int32_t bytes = Kelvra_Width(handle) * Kelvra_Height(handle) * (Kelvra_GetColorMode(handle) / 8);
    std::vector<BYTE> buffer(static_cast<size_t>(bytes));
    const long sentBefore = session.SimulatedCamera() ? KelvraSim_FramesSent(session.SimulatedCamera()) : -1;
    if (!listener.Window() || !Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0) ||
        !Kelvra_CallBackPreview(handle, listener.Window(), buffer.data(), bytes, 1)) {
        err << "kelvra: the preview did not start: " << session.LastError() << '\n';
        return kExitFailure;
    }
    out << "streaming " << Kelvra_Width(handle) << " x " << Kelvra_Height(handle) << " at "
        << Kelvra_GetColorMode(handle) << " bits per pixel for " << seconds << " s\n";
    const StreamReport report = Watch(listener.Window(), seconds);
    Kelvra_StopPreview(handle);
    const long sent = sentBefore >= 0 ? KelvraSim_FramesSent(session.SimulatedCamera()) - sentBefore : -1;
    PrintReport(report, sent, out);
    return report.frames > 0 ? kExitSuccess : kExitFailure;
}

void StreamHelp(std::ostream& out) {
    out << "  --seconds S          how long to stream, 1 to 3600 seconds (3)\n"
           "  --colour 16|48       16-bit grey (the default) or 48-bit colour output\n";
}

constexpr Command kStreamCommands[] = {
    {"stream", "[-n NUMBER] [--seconds S] [--colour 16|48]",
     "stream for S seconds (3) and report frames, rate and failures", Stream, StreamHelp},
};

}  // namespace

std::span<const Command> StreamCommands() { return kStreamCommands; }
