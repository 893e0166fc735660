// The preview's drawing step: a full camera frame blitted into a window DC, flipped upright.
#include "kelvra/win32.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

struct Frame {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;

    explicit Frame(WORD bitCount) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info{};
        info.header.biSize = sizeof(BITMAPINFOHEADER);
        info.header.biWidth = kWidth;
        info.header.biHeight = kHeight;
        info.header.biPlanes = 1;
        info.header.biBitCount = bitCount;
        for (int i = 0; i < 256; ++i)
            info.colors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
        SelectObject(dc, bitmap);
    }
    ~Frame() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

struct PreviewWindow {
    HWND window = nullptr;
    HDC dc = nullptr;

    PreviewWindow() {
        WNDCLASSEXA info{};
        info.cbSize = sizeof(info);
        info.lpfnWndProc = DefWindowProcA;
        info.lpszClassName = "Kelvra.Bench.Preview";
        RegisterClassExA(&info);
        window = CreateWindowExA(0, info.lpszClassName, "", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr, nullptr,
                                 nullptr);
        dc = GetDC(window);
    }
    ~PreviewWindow() {
        ReleaseDC(window, dc);
        DestroyWindow(window);
        UnregisterClassA("Kelvra.Bench.Preview", nullptr);
    }
};

void FlippedFrameToWindow(benchmark::State& state) {
    const Frame frame(static_cast<WORD>(state.range(0)));
    const PreviewWindow preview;
    for (auto _ : state) {
        StretchBlt(preview.dc, 0, 0, kWidth, kHeight, frame.dc, 0, kHeight - 1, kWidth, -kHeight, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(FlippedFrameToWindow)->Arg(8)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

void HalfSizeFrameToWindow(benchmark::State& state) {
    const Frame frame(24);
    const PreviewWindow preview;
    for (auto _ : state) {
        StretchBlt(preview.dc, 0, 0, kWidth / 2, kHeight / 2, frame.dc, 0, 0, kWidth, kHeight, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight / 4);
}
BENCHMARK(HalfSizeFrameToWindow)->Unit(benchmark::kMillisecond);

}  // namespace
