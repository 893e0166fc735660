// What drawing one 1280 x 1024 frame into the preview costs, beside a plain copy of the frame:
// straight from the image when the window has its size, through the scaled display otherwise.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "imaging/DibImage.h"
#include "session/PreviewWindow.h"
#include "session/SessionImages.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// A session's images holding a 16-bit grey frame (colour mode 1) or a 48-bit colour frame
// (mode 4), with the 8- or 24-bit image they are shown through.
bool MakeFrame(SessionImages& images, int colourMode) {
    if (!images.MakeAll()) return false;
    DibImage* output = colourMode == 1 ? images.raw16.get() : images.rgb48.get();
    DibImage* shown = colourMode == 1 ? images.raw8.get() : images.rgb24.get();
    if (!CreateImage(output, kWidth, kHeight, colourMode == 1 ? 16 : 48) ||
        !CreateImage(shown, kWidth, kHeight, colourMode == 1 ? 8 : 24))
        return false;
    for (int row = 0; row < kHeight; ++row)
        std::memset(output->bits + static_cast<size_t>(row) * output->stride, row & 0xFF, output->stride);
    return true;
}

// range(0): colour mode; range(1): 1 for a window of the frame's size, 2 for one of half its size.
void BM_PreviewDraw(benchmark::State& state) {
    const int colourMode = static_cast<int>(state.range(0));
    const int divisor = static_cast<int>(state.range(1));
    SessionImages images;
    if (!MakeFrame(images, colourMode)) {
        state.SkipWithError("images could not be made");
        return;
    }
    PreviewWindow preview;
    // The size of the window is its placement here, so a parent of our own takes the child.
    WNDCLASSEXA parentClass{};
    parentClass.cbSize = sizeof parentClass;
    parentClass.lpfnWndProc = DefWindowProcA;
    parentClass.hInstance = GetModuleHandleA(nullptr);
    parentClass.lpszClassName = "PreviewBenchParent";
    RegisterClassExA(&parentClass);
    HWND parent = CreateWindowExA(0, parentClass.lpszClassName, "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  kWidth + 64, kHeight + 64, nullptr, nullptr, parentClass.hInstance, nullptr);
    preview.SetPlacement(parent, RECT{0, 0, kWidth / divisor, kHeight / divisor});
    if (!parent || !preview.Create(&images, kWidth, kHeight)) {
        state.SkipWithError("window could not be made");
    } else {
        preview.PrepareDisplay(images, colourMode);
        for (auto _ : state) preview.Draw(images, colourMode);
        state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * (colourMode == 1 ? 2 : 6));
    }
    preview.Destroy();
    DestroyWindow(parent);
    UnregisterClassA(parentClass.lpszClassName, parentClass.hInstance);
}
BENCHMARK(BM_PreviewDraw)->ArgNames({"mode", "divisor"})->ArgsProduct({{1, 4}, {1, 2}});

// The floor: copying the 16-bit frame once.
void BM_FrameMemcpy(benchmark::State& state) {
    std::vector<BYTE> source(size_t{kWidth} * kHeight * 2, 0x5A), destination(source.size());
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size()));
}
BENCHMARK(BM_FrameMemcpy);

}  // namespace
