// What showing a camera frame on an X display costs, beside the plain copy of a frame it is
// measured against. Run under a display (xvfb-run -a -s "-screen 0 2048x1536x24"); without one
// the display benchmarks report that they were skipped.
//
// Every benchmark walks a ring of frames larger than the caches, so each copy is a cold one, as
// a new camera frame is.
#include "kelvra/win32.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 4;
constexpr int kRing = 8;  // 8 x 5 MB on each side: well beyond the last-level cache

void ColdFrameCopy(benchmark::State& state) {
    std::vector<std::vector<char>> from(kRing, std::vector<char>(kFrameBytes, 1));
    std::vector<std::vector<char>> to(kRing, std::vector<char>(kFrameBytes, 2));
    int next = 0;
    for (auto _ : state) {
        std::memcpy(to[next].data(), from[(next + kRing / 2) % kRing].data(), kFrameBytes);
        benchmark::ClobberMemory();
        next = (next + 1) % kRing;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}
BENCHMARK(ColdFrameCopy)->Unit(benchmark::kMillisecond);

struct FrameRing {
    std::vector<HDC> dcs;
    std::vector<HBITMAP> bitmaps;

    explicit FrameRing(WORD bitCount) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info{};
        info.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, bitCount, BI_RGB, 0, 0, 0, 0, 0};
        for (int i = 0; i < 256; ++i)
            info.colors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        for (int i = 0; i < kRing; ++i) {
            void* bits = nullptr;
            dcs.push_back(CreateCompatibleDC(nullptr));
            bitmaps.push_back(CreateDIBSection(dcs.back(), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                               &bits, nullptr, 0));
            std::memset(bits, 0x40 + i, static_cast<size_t>(kWidth) * kHeight * bitCount / 8);
            SelectObject(dcs.back(), bitmaps.back());
        }
    }
    ~FrameRing() {
        for (size_t i = 0; i < dcs.size(); ++i) {
            DeleteDC(dcs[i]);
            DeleteObject(bitmaps[i]);
        }
    }
};

// The preview's drawing step into a window that is on screen: the flipped blit into the
// window's pixels, and the hand-over to the server, which the call waits for.
void FrameToWindowOnScreen(benchmark::State& state) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        state.SkipWithError("no X display (run under xvfb-run)");
        return;
    }
    const FrameRing frames(static_cast<WORD>(state.range(0)));
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "Kelvra.Bench.Display";
    RegisterClassExA(&windowClass);
    const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "display bench", WS_POPUP | WS_VISIBLE, 0, 0,
                                        kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    const HDC dc = GetDC(window);
    int next = 0;
    for (auto _ : state) {
        StretchBlt(dc, 0, 0, kWidth, kHeight, frames.dcs[static_cast<size_t>(next)], 0, kHeight - 1, kWidth, -kHeight,
                   SRCCOPY);
        next = (next + 1) % kRing;
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    ReleaseDC(window, dc);
    DestroyWindow(window);
    UnregisterClassA(windowClass.lpszClassName, nullptr);
}
BENCHMARK(FrameToWindowOnScreen)->Arg(32)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace
