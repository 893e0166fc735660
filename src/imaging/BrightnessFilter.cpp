// Brightness: each sample scaled by a single-precision factor, truncated and clamped.
#include <algorithm>

#include "imaging/ConverterArgs.h"
#include "imaging/Filters.h"
#include "imaging/SampleLoop.h"

namespace {

float BrightnessFactor(int32_t value) {
    if (value < 0) return 1.0f - static_cast<float>(-value) / 255.0f;
    return 1.0f + static_cast<float>(value * 10) / 255.0f;
}

template <typename SampleT, int Channels>
int64_t Brightness(const ConverterArgs& args) {
    const auto* setting = args.Params<FilterSetting>();
    if (!setting) return 0;
    // Settings outside -255..255 would make the factor negative or large enough to leave
    // the range the float-to-integer step is defined on.
    const float factor = BrightnessFactor(std::clamp(setting->value, -255, 255));
    static constexpr float kMax = sizeof(SampleT) == 1 ? 255.0f : 65535.0f;
    auto scale = [factor](SampleT v) KELVRA_INLINE {
        // Clamping before truncating equals clamping after, and keeps the conversion in range.
        return static_cast<SampleT>(static_cast<int32_t>(std::min(static_cast<float>(v) * factor, kMax)));
    };
    if constexpr (sizeof(SampleT) == 1) {
        uint8_t table[256];
        for (int i = 0; i < 256; ++i) table[i] = scale(static_cast<uint8_t>(i));
        return ForEachChannelSample<uint8_t, Channels, true>(args, [&](uint8_t v) KELVRA_INLINE { return table[v]; });
    } else {
        return ForEachChannelSample<uint16_t, Channels>(args, scale);
    }
}

}  // namespace

KELVRA_SAMPLE_FILTER_MEMBERS(Brightness, Brightness)
