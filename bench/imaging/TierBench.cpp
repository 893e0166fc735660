// The hand-written kernels on each instruction-set tier this processor has (the OpenCV
// benchmarks of the same operations run in the same process), and the 16-bit to 48-bit
// demosaic of a cold frame beside the floor of its bytes: reading a cold raw frame and writing
// a cold colour frame. The demosaic is also timed with the step after it reading its output,
// since a kernel that streams its stores past the cache would make that step pay.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"
#include "imaging/Filters.h"
#include "imaging/Transfer.h"

namespace {

// 8 raw and 8 colour frames of 16-bit samples take 84 MB, beyond the last-level cache.
constexpr int kColdFrames = 8;

class TierScope {
public:
    explicit TierScope(CpuTier tier) { ForceCpuTier(tier); }
    ~TierScope() { ForceCpuTier(CpuTier::Avx2); }
    TierScope(const TierScope&) = delete;
    TierScope& operator=(const TierScope&) = delete;
};

BayerParams bayer{0, 130, 100, 170};
void* bayerSlot = &bayer;
HueSaturationParams hueSaturation{40, 0, 60, 16};
void* hueSaturationSlot = &hueSaturation;

void Demosaic(DibImage* colour, DibImage* raw) {
    const bool wide = raw->bitsPerPixel == 16;
    TransferImage(colour, wide ? Demosaic16 : Demosaic8, raw, nullptr, 0, 0, &bayerSlot, nullptr);
    TransferImage(colour, wide ? Demosaic16Border : Demosaic8Border, raw, nullptr, 0, 0, &bayerSlot, nullptr);
}

void HueSaturationInPlace(DibImage* image) {
    TransferImage(image, FilterConverterFor(FilterKind::HueSaturation, image->bitsPerPixel), image, nullptr, 0, 0,
                  &hueSaturationSlot, nullptr);
}

void WarmDemosaic(benchmark::State& state, CpuTier tier, uint16_t rawBits, uint16_t colourBits) {
    TierScope scope(tier);
    BenchImage raw(rawBits), colour(colourBits);
    raw.FillRandom(2);
    for (auto _ : state) {
        Demosaic(colour.get(), raw.get());
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

void WarmHueSaturation(benchmark::State& state, CpuTier tier, uint16_t bits) {
    TierScope scope(tier);
    BenchImage image(bits);
    image.FillRandom(3);
    for (auto _ : state) {
        HueSaturationInPlace(image.get());
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

struct ColdFrames {
    ColdFrames() {
        for (int i = 0; i < kColdFrames; ++i) {
            raws.emplace_back(std::make_unique<BenchImage>(16));
            colours.emplace_back(std::make_unique<BenchImage>(48));
            raws.back()->FillRandom(static_cast<uint32_t>(i));
            std::memset(colours.back()->get()->bits, 0, ColourBytes());
        }
    }
    size_t RawBytes() { return static_cast<size_t>(raws[0]->get()->stride) * kFrameHeight; }
    size_t ColourBytes() { return static_cast<size_t>(colours[0]->get()->stride) * kFrameHeight; }

    std::vector<std::unique_ptr<BenchImage>> raws;
    std::vector<std::unique_ptr<BenchImage>> colours;
};

// withNextStep: the hue/saturation filter then runs over the colour frame, as the pipeline's
// next step would.
void ColdDemosaic16(benchmark::State& state, CpuTier tier, bool withNextStep) {
    TierScope scope(tier);
    ColdFrames frames;
    int next = 0;
    for (auto _ : state) {
        DibImage* colour = frames.colours[next]->get();
        Demosaic(colour, frames.raws[next]->get());
        if (withNextStep) HueSaturationInPlace(colour);
        benchmark::ClobberMemory();
        next = (next + 1) % kColdFrames;
    }
    ReportFrames(state);
}

// The bytes of the cold demosaic moved at memory speed: the raw frame read, the colour frame
// written.
void ColdStreamingFloor(benchmark::State& state) {
    ColdFrames frames;
    const size_t rawWords = frames.RawBytes() / sizeof(uint64_t);
    int next = 0;
    for (auto _ : state) {
        const auto* raw = reinterpret_cast<const uint64_t*>(frames.raws[next]->get()->bits);
        uint64_t sum = 0;
        for (size_t i = 0; i < rawWords; ++i) sum += raw[i];
        benchmark::DoNotOptimize(sum);
        std::memset(frames.colours[next]->get()->bits, static_cast<int>(sum & 0x7F), frames.ColourBytes());
        benchmark::ClobberMemory();
        next = (next + 1) % kColdFrames;
    }
    ReportFrames(state);
}

const bool registered = [] {
    for (CpuTier tier : {CpuTier::Baseline, CpuTier::Sse4, CpuTier::Avx2}) {
        if (static_cast<int>(tier) > static_cast<int>(DetectedCpuTier())) continue;
        const std::string name = CpuTierName(tier);
        benchmark::RegisterBenchmark(("Tier/" + name + "/Demosaic/8to24").c_str(), WarmDemosaic, tier, 8, 24)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Tier/" + name + "/Demosaic/16to48").c_str(), WarmDemosaic, tier, 16, 48)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Tier/" + name + "/HueSaturation/24").c_str(), WarmHueSaturation, tier, 24)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Tier/" + name + "/HueSaturation/48").c_str(), WarmHueSaturation, tier, 48)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Tier/" + name + "/ColdDemosaic/16to48").c_str(), ColdDemosaic16, tier, false)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Tier/" + name + "/ColdDemosaic/16to48+HueSaturation").c_str(), ColdDemosaic16,
                                     tier, true)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Floor/ColdRead16WriteColour48", ColdStreamingFloor)->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
