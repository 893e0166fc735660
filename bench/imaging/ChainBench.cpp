// One whole frame per colour mode: the received frame copied out of the device ring into
// the raw image, Bayer conversion for colour modes, then the filter chain, with every
// filter at its neutral value and with all of them on.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "imaging/Converters.h"
#include "imaging/FilterChain.h"
#include "imaging/Transfer.h"

namespace {

// Enough ring frames to leave the caches, so each frame arrives cold as it does from USB.
constexpr int kRingFrames = 16;

struct Mode {
    const char* name;
    uint16_t rawBits;
    uint16_t outputBits;  // equal to rawBits for grey modes
};

const Mode kModes[] = {{"Grey8", 8, 8},     {"Grey16", 16, 16},   {"Colour24", 8, 24},
                       {"Colour32", 8, 32}, {"Colour48", 16, 48}, {"Colour64", 16, 64}};

void RunFrame(benchmark::State& state, Mode mode, bool filtersOn) {
    BenchImage raw(mode.rawBits), output(mode.outputBits), scratch(mode.outputBits);
    const size_t frameBytes = static_cast<size_t>(raw->stride) * raw->height;
    std::vector<std::unique_ptr<BYTE[]>> ring;
    for (int i = 0; i < kRingFrames; ++i) {
        ring.emplace_back(new BYTE[frameBytes]);
        for (size_t b = 0; b < frameBytes; ++b) ring.back()[b] = static_cast<BYTE>(b * 31 + i);
    }
    const bool colour = mode.outputBits != mode.rawBits;
    const bool wide = mode.rawBits == 16;
    BayerParams bayer{0, 120, 100, 150};
    void* bayerSlot = &bayer;
    GrayParams gray{0, 140, 128, 120, 110, 3, -2, 0, 5, wide ? 13 : 8};
    void* graySlot = &gray;
    FilterSettings settings;
    if (filtersOn) settings = FilterSettings{colour ? 30 : 0, colour ? 40 : 0, 120, 20, 10, 15};
    DibImage* out = colour ? output.get() : raw.get();
    int frame = 0;
    for (auto _ : state) {
        std::memcpy(raw->bits, ring[frame++ % kRingFrames].get(), frameBytes);
        if (!colour && filtersOn) {
            TransferImage(raw.get(), wide ? GrayGainOffset16 : GrayGainOffset8, raw.get(), nullptr, 0, 0, &graySlot,
                          nullptr);
        }
        if (colour) {
            TransferImage(out, wide ? Demosaic16 : Demosaic8, raw.get(), nullptr, 0, 0, &bayerSlot, nullptr);
            TransferImage(out, wide ? Demosaic16Border : Demosaic8Border, raw.get(), nullptr, 0, 0, &bayerSlot,
                          nullptr);
        }
        ApplyFilterChain(out, scratch.get(), settings);
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

// The yardstick of the neutral grey frame: one copy of a cold frame.
void ColdFrameCopy(benchmark::State& state) {
    const size_t frameBytes = size_t{kFrameWidth} * kFrameHeight * 2;
    std::vector<std::unique_ptr<BYTE[]>> ring;
    for (int i = 0; i < kRingFrames; ++i) {
        ring.emplace_back(new BYTE[frameBytes]);
        std::memset(ring.back().get(), i, frameBytes);
    }
    std::unique_ptr<BYTE[]> target(new BYTE[frameBytes]);
    int frame = 0;
    for (auto _ : state) {
        std::memcpy(target.get(), ring[frame++ % kRingFrames].get(), frameBytes);
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

const bool registered = [] {
    for (const Mode& mode : kModes) {
        for (bool filtersOn : {false, true}) {
            benchmark::RegisterBenchmark(
                (std::string("Frame/") + mode.name + (filtersOn ? "/AllFilters" : "/Neutral")).c_str(), RunFrame, mode,
                filtersOn)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("Frame/ColdCopy16", ColdFrameCopy)->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
