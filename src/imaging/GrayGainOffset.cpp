// Grey gain and offset per Bayer position, for monochrome output of a colour-filtered sensor.
#include <algorithm>
#include <type_traits>

#include "imaging/BayerLayout.h"
#include "imaging/ConverterArgs.h"
#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"

namespace {

// Wide is the arithmetic type: 32 bits while every gain lies in 0..32768 and every offset
// within +-32767 (offset + gain x 16-bit sample then fits), 64 bits for the gains automatic
// measurement can produce far above the settable 0..255.
template <typename SampleT, typename Wide>
void ApplyGrayGainOffset(const ConverterArgs& args, const GrayParams& gray, int32_t ceiling) {
    const BayerLayout layout = BayerLayout::ForPhase(gray.phase);
    // [row parity][column parity]
    const int32_t gains[2][2] = {{gray.gainG1, gray.gainR}, {gray.gainB, gray.gainG2}};
    const int32_t offsets[2][2] = {{gray.offsetG1, gray.offsetR}, {gray.offsetB, gray.offsetG2}};
    RunKernel([&]() KELVRA_INLINE {
        for (int32_t k = 0; k < args.Height(); ++k) {
            const int32_t rowParity = layout.RowParity(k);
            // Gain and offset of the even and odd columns of this row.
            const Wide gainEven = gains[rowParity][layout.ColumnParity(0)];
            const Wide gainOdd = gains[rowParity][layout.ColumnParity(1)];
            const Wide offsetEven = offsets[rowParity][layout.ColumnParity(0)];
            const Wide offsetOdd = offsets[rowParity][layout.ColumnParity(1)];
            const auto* s = reinterpret_cast<const SampleT*>(args.SourceRow(k));
            auto* d = reinterpret_cast<SampleT*>(args.DestRow(k));
            auto apply = [ceiling](Wide sample, Wide gain, Wide offset) KELVRA_INLINE {
                // With the non-negative gains of the 32-bit path the division is a shift.
                const Wide scaled = std::is_same_v<Wide, int32_t> ? (gain * sample) >> 7 : gain * sample / 128;
                return static_cast<SampleT>(std::clamp<Wide>(offset + scaled, 0, ceiling));
            };
            const int32_t width = args.Width();
            int32_t x = 0;
            for (; x + 1 < width; x += 2) {
                d[x] = apply(s[x], gainEven, offsetEven);
                d[x + 1] = apply(s[x + 1], gainOdd, offsetOdd);
            }
            if (x < width) d[x] = apply(s[x], gainEven, offsetEven);
        }
    });
}

template <typename SampleT>
int64_t GrayGainOffset(const ConverterArgs& args, int32_t ceiling) {
    const auto* gray = args.Params<GrayParams>();
    if (!gray) return 0;
    if (args.Empty()) return 1;
    const bool narrow = std::min({gray->gainR, gray->gainG1, gray->gainG2, gray->gainB}) >= 0 &&
                        std::max({gray->gainR, gray->gainG1, gray->gainG2, gray->gainB}) <= 32768 &&
                        std::min({gray->offsetR, gray->offsetG1, gray->offsetG2, gray->offsetB}) >= -32767 &&
                        std::max({gray->offsetR, gray->offsetG1, gray->offsetG2, gray->offsetB}) <= 32767;
    if (narrow) {
        ApplyGrayGainOffset<SampleT, int32_t>(args, *gray, ceiling);
    } else {
        ApplyGrayGainOffset<SampleT, int64_t>(args, *gray, ceiling);
    }
    return 1;
}

}  // namespace

KELVRA_CONVERTER(GrayGainOffset8) { return GrayGainOffset<uint8_t>(KELVRA_CONVERTER_ARGS, 255); }

KELVRA_CONVERTER(GrayGainOffset16) {
    const ConverterArgs args = KELVRA_CONVERTER_ARGS;
    const auto* gray = args.Params<GrayParams>();
    return GrayGainOffset<uint16_t>(args, gray ? SampleCeiling(gray->sampleBits) : 65535);
}
