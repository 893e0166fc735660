// The whole frame pipeline per colour mode on frames of the camera's size, with no camera: with
// neutral settings (the conversions alone), and the 48-bit mode with every filter and the mirror
// on.
#include "imaging/DibImage.h"
#include "session/CKelvra.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

constexpr uint16_t kOutputBits[] = {8, 16, 24, 32, 48, 64};

bool WideRaw(int32_t colourMode) { return colourMode == 1 || colourMode == 4 || colourMode == 5; }

// A session with the raw and output images of colourMode at full size, random raw content and
// neutral settings; false when an image could not be made.
bool PrepareSession(CKelvra& session, int32_t colourMode) {
    if (!session.images.MakeAll()) return false;
    session.format.colourMode = colourMode;
    ImageFilters& filters = session.filters;
    filters.gamma = 100;
    filters.bayerGainRed = filters.bayerGainGreen = filters.bayerGainBlue = 100;
    GraySettings& gray = session.gray;
    gray.grayGainR = gray.grayGainG1 = gray.grayGainG2 = gray.grayGainB = 128;
    gray.grayOffsetR = gray.grayOffsetG1 = gray.grayOffsetG2 = gray.grayOffsetB = 128;

    DibImage* raw = WideRaw(colourMode) ? session.images.raw16.get() : session.images.raw8.get();
    if (!CreateImage(raw, kWidth, kHeight, WideRaw(colourMode) ? 16 : 8)) return false;
    DibImage* outputs[] = {nullptr,
                           nullptr,
                           session.images.rgb24.get(),
                           session.images.rgb32.get(),
                           session.images.rgb48.get(),
                           session.images.rgb64.get()};
    DibImage* output = outputs[colourMode];
    if (output && !CreateImage(output, kWidth, kHeight, kOutputBits[colourMode])) return false;

    // 12-bit samples, as the camera delivers them.
    std::mt19937 random(colourMode + 1);
    for (int32_t y = 0; y < raw->height; ++y) {
        BYTE* row = raw->bits + static_cast<size_t>(y) * raw->stride;
        for (int32_t x = 0; x < raw->width; ++x) {
            if (raw->bitsPerPixel == 16) {
                reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(random() & 0x0FFF);
            } else {
                row[x] = static_cast<BYTE>(random());
            }
        }
    }
    return session.pipeline.Prepare(*raw);
}

void RunPipeline(benchmark::State& state, CKelvra& session) {
    for (auto _ : state) {
        session.pipeline.Process(session);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_PipelineNeutral(benchmark::State& state) {
    CKelvra session;
    if (!PrepareSession(session, static_cast<int32_t>(state.range(0)))) {
        state.SkipWithError("images could not be made");
        return;
    }
    RunPipeline(state, session);
}
BENCHMARK(BM_PipelineNeutral)->DenseRange(0, 5)->ArgName("colourMode")->Unit(benchmark::kMillisecond);

void BM_PipelineMirrored(benchmark::State& state) {
    CKelvra session;
    if (!PrepareSession(session, static_cast<int32_t>(state.range(0)))) {
        state.SkipWithError("images could not be made");
        return;
    }
    session.camera.mirrorH = 1;
    session.camera.mirrorV = 1;
    RunPipeline(state, session);
}
BENCHMARK(BM_PipelineMirrored)->Arg(0)->Arg(1)->ArgName("colourMode")->Unit(benchmark::kMillisecond);

void BM_Pipeline48EveryFilter(benchmark::State& state) {
    CKelvra session;
    if (!PrepareSession(session, 4)) {
        state.SkipWithError("images could not be made");
        return;
    }
    session.camera.mirrorH = 1;
    session.camera.mirrorV = 1;
    ImageFilters& filters = session.filters;
    filters.bayerGainAuto = 1;
    filters.hue = 30;
    filters.saturation = 40;
    filters.gamma = 120;
    filters.contrast = 20;
    filters.sharpness = 5;
    filters.brightness = 10;
    RunPipeline(state, session);
}
BENCHMARK(BM_Pipeline48EveryFilter)->Unit(benchmark::kMillisecond);

}  // namespace
