// Hue and saturation: an integer hue-saturation-lightness adjustment on 8-bit channels.
// Hue is 1530 steps a turn (six sectors of 255); saturation scales the chroma by
// (saturation + 256) / 256. Every table is either constant or built per call, so
// sessions on different threads never share mutable state.
#include <algorithm>
#include <optional>

#include "imaging/ConverterArgs.h"
#include "imaging/CpuDispatch.h"
#include "imaging/Filters.h"
#include "imaging/HueSaturationSimd.h"

namespace {

constexpr int32_t kChunkPixels = 256;

// Hue in degrees -> position on the 1530-step turn.
int32_t HueShift(int32_t hue) {
    // Whole turns change nothing; dropping them first keeps the product within 32 bits.
    const int32_t angle = ((hue % 360) * 65536 / 360) & 0xFFFF;  // 16-bit angle
    const int32_t s6 = (angle * 6) >> 8;                         // 1536 steps a turn
    int32_t r = s6 & 511;
    if (r >= 256) r -= 512;
    const int32_t third = ((s6 + 256) >> 9) % 3;
    int32_t shift = r + 510 * third;
    if (shift < 0) shift += 1530;
    if (shift >= 1530) shift -= 1530;
    return shift;
}

struct HueSaturationKernel {
    HueSaturationSteps steps;

    // Adjusts one pixel of blue, green, red in place; written without branches so a row
    // of pixels vectorises.
    [[gnu::always_inline]] inline void operator()(int32_t& blue, int32_t& green, int32_t& red) const {
        // Values, not references: a max of references would become a conditional load.
        const int32_t b = blue, g = green, r = red;
        const int32_t hi = std::max(r, std::max(g, b));
        const int32_t lo = std::min(r, std::min(g, b));
        const int32_t l2 = hi + lo;
        const int32_t chroma = hi - lo;
        const bool redMax = (r >= g) & (r >= b);
        const bool greenMax = !redMax & (g >= b);
        const int32_t sector = redMax ? 1 : (greenMax ? 3 : 5);
        const int32_t rawPosition = redMax ? g - b : (greenMax ? b - r : r - g);
        const bool behind = rawPosition < 0;
        const int32_t position = rawPosition + (behind ? chroma : 0);
        const int32_t scaledChroma = (steps.saturationMul * chroma + 32768) >> 16;
        const int32_t newChroma = std::min(scaledChroma, l2 < 256 ? l2 : 511 - l2);
        const int32_t low = (l2 - newChroma) >> 1;
        const int32_t amplitude = ((l2 + newChroma) >> 1) - low;
        const int32_t w0 = ((position * kHueReciprocals[chroma] + 32768) >> 16) + steps.shiftWithin;
        const bool carry = w0 > 254;
        const int32_t w = w0 - (carry ? 255 : 0);
        const int32_t index = sector - (behind ? 1 : 0) + steps.shiftSectors + (carry ? 1 : 0);
        const int32_t ramp = (amplitude * w + 128) >> 8;
        // Per channel (blue 0, green 1, red 2) the sector pattern is the same sequence
        // shifted by two sectors: A - ramp, 0, 0, ramp, A, A.
        auto channel = [&](int32_t c) KELVRA_INLINE {
            int32_t j = index + 2 * c;
            j -= j >= 12 ? 12 : 0;
            j -= j >= 6 ? 6 : 0;
            const int32_t add = j == 0 ? amplitude - ramp : (j == 3 ? ramp : (j >= 4 ? amplitude : 0));
            return low + add;
        };
        blue = channel(0);
        green = channel(1);
        red = channel(2);
    }
};

HueSaturationKernel MakeKernel(const HueSaturationParams& params) {
    const int32_t shift = HueShift(params.hue);
    return HueSaturationKernel{{shift % 255, shift / 255, (std::clamp(params.saturation, -255, 255) + 256) * 256}};
}

// The vector row for a pixel layout, where there is one (a 64-bit image whose alpha is
// kept has none: only a 48-bit member run on 64-bit pixels would ask for one).
template <typename SampleT, int Step, bool ClearAlpha>
constexpr std::optional<HuePixelFormat> VectorFormat() {
    if (sizeof(SampleT) == 1 && !ClearAlpha) return Step == 3 ? HuePixelFormat::Bgr24 : HuePixelFormat::Bgrx32;
    if (sizeof(SampleT) == 2 && Step == 3 && !ClearAlpha) return HuePixelFormat::Bgr48;
    if (sizeof(SampleT) == 2 && Step == 4 && ClearAlpha) return HuePixelFormat::Bgr64ClearAlpha;
    return std::nullopt;
}

// Step is the pixel size in samples; 16-bit channels are worked on by their upper byte.
template <typename SampleT, int Step, bool ClearAlpha>
void AdjustRows(const ConverterArgs& args, const HueSaturationKernel& kernel) {
    constexpr int kShift = sizeof(SampleT) == 1 ? 0 : 8;
    constexpr std::optional<HuePixelFormat> kVectorFormat = VectorFormat<SampleT, Step, ClearAlpha>();
    RunKernel([&]() KELVRA_INLINE {
        int32_t blue[kChunkPixels], green[kChunkPixels], red[kChunkPixels];
        for (int32_t k = 0; k < args.Height(); ++k) {
            const auto* s = reinterpret_cast<const SampleT*>(args.SourceRow(k));
            auto* d = reinterpret_cast<SampleT*>(args.DestRow(k));
            // The vector row runs where the CPU has one; the pixels it leaves are scalar.
            int32_t done = 0;
            if constexpr (kVectorFormat) {
                done = HueSaturationRowSimd(reinterpret_cast<const uint8_t*>(s), reinterpret_cast<uint8_t*>(d),
                                            args.Width(), *kVectorFormat, kernel.steps);
            }
            for (int32_t start = done; start < args.Width(); start += kChunkPixels) {
                const int32_t count = std::min(kChunkPixels, args.Width() - start);
                const SampleT* sp = s + static_cast<intptr_t>(start) * Step;
                SampleT* dp = d + static_cast<intptr_t>(start) * Step;
                for (int32_t x = 0; x < count; ++x) {
                    blue[x] = sp[x * Step] >> kShift;
                    green[x] = sp[x * Step + 1] >> kShift;
                    red[x] = sp[x * Step + 2] >> kShift;
                }
                for (int32_t x = 0; x < count; ++x) kernel(blue[x], green[x], red[x]);
                for (int32_t x = 0; x < count; ++x) {
                    dp[x * Step] = static_cast<SampleT>(blue[x] << kShift);
                    dp[x * Step + 1] = static_cast<SampleT>(green[x] << kShift);
                    dp[x * Step + 2] = static_cast<SampleT>(red[x] << kShift);
                    if constexpr (ClearAlpha) dp[x * Step + 3] = 0;
                }
            }
        }
    });
}

template <typename SampleT, bool ClearAlpha>
int64_t AdjustHueSaturation(const ConverterArgs& args) {
    const auto* params = args.Params<HueSaturationParams>();
    if (!params) return 0;
    if (args.Empty()) return 1;
    const int32_t step = args.destBytesPerPixel / static_cast<int32_t>(sizeof(SampleT));
    if (args.sourceBytesPerPixel != args.destBytesPerPixel) return 0;
    const HueSaturationKernel kernel = MakeKernel(*params);
    if (step == 3 && !ClearAlpha) {
        AdjustRows<SampleT, 3, false>(args, kernel);
    } else if (step == 4) {
        AdjustRows<SampleT, 4, ClearAlpha>(args, kernel);
    } else {
        return 0;
    }
    return 1;
}

}  // namespace

KELVRA_CONVERTER(HueSaturationColor8) { return AdjustHueSaturation<uint8_t, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(HueSaturation48) { return AdjustHueSaturation<uint16_t, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(HueSaturation64) { return AdjustHueSaturation<uint16_t, true>(KELVRA_CONVERTER_ARGS); }
