// Gamma and contrast: one table lookup per sample.
#include "imaging/ConverterArgs.h"
#include "imaging/Filters.h"
#include "imaging/SampleLoop.h"
#include "imaging/ToneTables.h"

namespace {

using TableBuilder = void (*)(int32_t, int32_t, uint16_t*);
using CachedTable = const uint16_t* (*)(int32_t);

template <typename SampleT, int Channels, TableBuilder Build, CachedTable Cache>
int64_t ApplyTable(const ConverterArgs& args) {
    const auto* setting = args.Params<FilterSetting>();
    if (!setting) return 0;
    if constexpr (sizeof(SampleT) == 1) {
        uint16_t wide[256];
        Build(setting->value, 255, wide);
        uint8_t table[256];
        for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(wide[i]);
        return ForEachChannelSample<uint8_t, Channels, true>(args, [&](uint8_t v) KELVRA_INLINE { return table[v]; });
    } else {
        const uint16_t* table = Cache(setting->value);
        if (!table) return 0;
        return ForEachChannelSample<uint16_t, Channels, true>(args,
                                                              [table](uint16_t v) KELVRA_INLINE { return table[v]; });
    }
}

template <typename SampleT, int Channels>
int64_t Gamma(const ConverterArgs& args) {
    return ApplyTable<SampleT, Channels, BuildGammaTable, CachedGammaTable16>(args);
}

template <typename SampleT, int Channels>
int64_t Contrast(const ConverterArgs& args) {
    return ApplyTable<SampleT, Channels, BuildContrastTable, CachedContrastTable16>(args);
}

}  // namespace

KELVRA_SAMPLE_FILTER_MEMBERS(Gamma, Gamma)
KELVRA_SAMPLE_FILTER_MEMBERS(Contrast, Contrast)
