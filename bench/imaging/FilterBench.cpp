// Every filter member on a 1280 x 1024 image, in place as the pipeline runs it
// (sharpness reads a copy).
#include <string>

#include "BenchImages.h"
#include "imaging/Filters.h"
#include "imaging/Transfer.h"

namespace {

struct FilterCase {
    const char* name;
    FilterKind kind;
    int32_t value;
};

const FilterCase kFilters[] = {{"Brightness", FilterKind::Brightness, 40},
                               {"Contrast", FilterKind::Contrast, 30},
                               {"Gamma", FilterKind::Gamma, 140},
                               {"Sharpness", FilterKind::Sharpness, 12},
                               {"HueSaturation", FilterKind::HueSaturation, 45}};

void RunFilter(benchmark::State& state, FilterCase filter, uint16_t bits) {
    BenchImage image(bits), copy(bits);
    image.FillRandom(5);
    copy.FillRandom(5);
    FilterSetting setting{filter.value};
    HueSaturationParams hueSaturation{filter.value, 0, 60, 16};
    void* record = filter.kind == FilterKind::HueSaturation ? static_cast<void*>(&hueSaturation) : &setting;
    DibImage* source = filter.kind == FilterKind::Sharpness ? copy.get() : image.get();
    const ConverterFn converter = FilterConverterFor(filter.kind, bits);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TransferImage(image.get(), converter, source, nullptr, 0, 0, &record, nullptr));
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

const bool registered = [] {
    for (const FilterCase& filter : kFilters) {
        for (uint16_t bits : {8, 16, 24, 32, 48, 64}) {
            if (!FilterConverterFor(filter.kind, bits)) continue;
            benchmark::RegisterBenchmark((std::string("Filter/") + filter.name + "/" + std::to_string(bits)).c_str(),
                                         RunFilter, filter, bits)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
