// Grey gain and offset per Bayer position, for monochrome output of a colour-filtered sensor.
#include <algorithm>

#include "imaging/BayerLayout.h"
#include "imaging/ConverterArgs.h"
#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"

namespace {

template <typename SampleT>
int64_t GrayGainOffset(const ConverterArgs& args, int32_t ceiling) {
    const auto* gray = args.Params<GrayParams>();
    if (!gray) return 0;
    if (args.Empty()) return 1;
    const BayerLayout layout = BayerLayout::ForPhase(gray->phase);
    // [row parity][column parity]
    const int32_t gains[2][2] = {{gray->gainG1, gray->gainR}, {gray->gainB, gray->gainG2}};
    const int32_t offsets[2][2] = {{gray->offsetG1, gray->offsetR}, {gray->offsetB, gray->offsetG2}};
    RunKernel([&]() KELVRA_INLINE {
        for (int32_t k = 0; k < args.Height(); ++k) {
            const int32_t rowParity = layout.RowParity(k);
            // Gain and offset of the even and odd columns of this row.
            const int32_t gainEven = gains[rowParity][layout.ColumnParity(0)];
            const int32_t gainOdd = gains[rowParity][layout.ColumnParity(1)];
            const int32_t offsetEven = offsets[rowParity][layout.ColumnParity(0)];
            const int32_t offsetOdd = offsets[rowParity][layout.ColumnParity(1)];
            const auto* s = reinterpret_cast<const SampleT*>(args.SourceRow(k));
            auto* d = reinterpret_cast<SampleT*>(args.DestRow(k));
            // 64-bit products: measured automatic gains can lie far above the settable range.
            auto apply = [ceiling](int64_t sample, int64_t gain, int64_t offset) KELVRA_INLINE {
                return static_cast<SampleT>(std::clamp<int64_t>(offset + gain * sample / 128, 0, ceiling));
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
    return 1;
}

}  // namespace

KELVRA_CONVERTER(GrayGainOffset8) { return GrayGainOffset<uint8_t>(KELVRA_CONVERTER_ARGS, 255); }

KELVRA_CONVERTER(GrayGainOffset16) {
    const ConverterArgs args = KELVRA_CONVERTER_ARGS;
    const auto* gray = args.Params<GrayParams>();
    return GrayGainOffset<uint16_t>(args, gray ? SampleCeiling(gray->sampleBits) : 65535);
}
