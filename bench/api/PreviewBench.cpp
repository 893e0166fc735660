// Frames per second through Kelvra_CallBackPreview: simulated camera at frame rate 0, no rest
// between frames, every frame copied into the caller's buffer and announced to a window. One run
// for 16-bit grey with neutral filters, one for 48-bit colour with every filter on; compare
// frames_per_s with BM_StreamFrames (the device core alone) of the same run.
#include "api/CSdkChain.h"
#include "kelvra/KelvraSdk.h"
#include "kelvra/KelvraSim.h"
#include "session/CKelvra.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void ColourWithEveryFilter(CKelvra& session) {
    session.format.colourMode = 4;
    ImageFilters& filters = session.filters;
    filters.hue = 20;
    filters.saturation = 30;
    filters.gamma = 120;
    filters.contrast = 10;
    filters.sharpness = 5;
    filters.brightness = 10;
    filters.bayerGainAuto = 1;
}

void BM_CallBackPreview(benchmark::State& state) {
    KelvraSim_Reset();
    const int camera = KelvraSim_Attach(0x3180);
    KelvraSim_SetFrameRate(camera, 0);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_PATTERN, 0);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PreviewBenchListener";
    RegisterClassExA(&windowClass);
    HWND listener = CreateWindowExA(0, "PreviewBenchListener", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr);
    const int32_t handle = Kelvra_Initialize(nullptr);
    const auto session = CSdkChain::Instance().Lookup(handle);
    if (!listener || !session || !Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0)) {
        state.SkipWithError("no session on the simulated camera");
        return;
    }
    session->format.waitTime = 0;
    if (state.range(0) == 48) ColourWithEveryFilter(*session);
    const int32_t bytesPerPixel = static_cast<int32_t>(state.range(0)) / 8;
    std::vector<BYTE> buffer(static_cast<size_t>(1280 * bytesPerPixel) * 1024);
    if (!Kelvra_CallBackPreview(handle, listener, buffer.data(), static_cast<int32_t>(buffer.size()), 1)) {
        state.SkipWithError("the preview did not start");
        return;
    }
    for (auto _ : state) {
        MSG message{};
        if (GetMessageA(&message, listener, WM_CAMERA_FRAME, WM_CAMERA_FRAME) <= 0 || message.wParam == 0) {
            state.SkipWithError("frame error");
            break;
        }
    }
    Kelvra_StopPreview(handle);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    Kelvra_Release(handle);
    DestroyWindow(listener);
    KelvraSim_Reset();
}
BENCHMARK(BM_CallBackPreview)->Arg(16)->Arg(48)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
