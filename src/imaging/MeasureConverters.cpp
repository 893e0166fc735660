// Measuring converters for automatic exposure, white balance and grey gains.
#include <algorithm>
#include <cmath>
#include <limits>

#include "imaging/BayerLayout.h"
#include "imaging/ConverterArgs.h"
#include "imaging/Converters.h"

namespace {

template <typename SampleT, typename MapFn>
int64_t RegionMean(const ConverterArgs& args, MapFn map) {
    if (!args.source || args.Height() <= 0 || args.Width() <= 0) return 0;
    int64_t sum = 0;
    for (int32_t k = 0; k < args.Height(); ++k) {
        const auto* row = reinterpret_cast<const SampleT*>(args.SourceRow(k));
        uint32_t rowSum = 0;
        for (int32_t x = 0; x < args.Width(); ++x) rowSum += map(row[x]);
        sum += rowSum;
    }
    return sum / (static_cast<int64_t>(args.Width()) * args.Height());
}

// Sums and counts per Bayer position (row parity, column parity) over the rectangle.
struct PositionSums {
    double sum[2][2] = {};
    int64_t count[2][2] = {};

    double Mean(int32_t rowParity, int32_t columnParity) const {
        return sum[rowParity][columnParity] / static_cast<double>(count[rowParity][columnParity]);
    }
    bool Empty(int32_t rowParity, int32_t columnParity) const { return count[rowParity][columnParity] == 0; }
};

template <typename SampleT, typename TakeFn>
PositionSums SumByPosition(const ConverterArgs& args, const BayerLayout& layout, TakeFn take) {
    PositionSums sums;
    for (int32_t k = 0; k < args.Height(); ++k) {
        const auto* row = reinterpret_cast<const SampleT*>(args.SourceRow(k));
        const int32_t rowParity = layout.RowParity(k);
        uint64_t rowSum[2] = {0, 0};
        int64_t rowCount[2] = {0, 0};
        for (int32_t x = 0; x < args.Width(); ++x) {
            const uint32_t v = row[x];
            if (!take(v)) continue;
            rowSum[x & 1] += v;
            ++rowCount[x & 1];
        }
        for (int32_t c = 0; c < 2; ++c) {
            const int32_t columnParity = layout.ColumnParity(c);
            sums.sum[rowParity][columnParity] += static_cast<double>(rowSum[c]);
            sums.count[rowParity][columnParity] += rowCount[c];
        }
    }
    return sums;
}

// A ratio far outside any usable gain must not overflow the integer it is stored in.
int32_t TruncateGain(double value) {
    return static_cast<int32_t>(std::clamp(value, 0.0, static_cast<double>(std::numeric_limits<int32_t>::max())));
}

template <typename SampleT>
int64_t WhiteBalance(const ConverterArgs& args) {
    auto* result = args.Params<WhiteBalanceResult>();
    if (!result || !args.source || args.Width() <= 0 || args.Height() <= 0) return 0;
    const PositionSums sums =
        SumByPosition<SampleT>(args, BayerLayout::ForPhase(result->phase), [](uint32_t) { return true; });
    const double sumGreen = sums.sum[0][0] + sums.sum[1][1];
    const int64_t countGreen = sums.count[0][0] + sums.count[1][1];
    result->gainGreen = 100;
    // A class without samples, or one that is all black, has no meaningful ratio: the
    // previous gain stays.
    if (countGreen == 0 || sumGreen <= 0.0) return 1;
    const double meanGreen = sumGreen / static_cast<double>(countGreen);
    const double meanRed = sums.Empty(1, 0) ? 0.0 : sums.Mean(1, 0);
    const double meanBlue = sums.Empty(0, 1) ? 0.0 : sums.Mean(0, 1);
    const double total = meanGreen + meanRed + meanBlue;
    const double t = total / meanGreen / 3;
    if (meanRed > 0.0) result->gainRed = TruncateGain(total / meanRed / 3 * 100 / t);
    if (meanBlue > 0.0) result->gainBlue = TruncateGain(total / meanBlue / 3 * 100 / t);
    return 1;
}

}  // namespace

KELVRA_CONVERTER(RegionMean8) {
    return RegionMean<uint8_t>(KELVRA_CONVERTER_ARGS, [](uint8_t v) { return static_cast<uint32_t>(v); });
}

KELVRA_CONVERTER(RegionMean10) {
    return RegionMean<uint16_t>(KELVRA_CONVERTER_ARGS,
                                [](uint16_t v) { return static_cast<uint32_t>((v >> 2) & 0xFF); });
}

KELVRA_CONVERTER(WhiteBalance8) { return WhiteBalance<uint8_t>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(WhiteBalance16) { return WhiteBalance<uint16_t>(KELVRA_CONVERTER_ARGS); }

KELVRA_CONVERTER(GrayAutoGains) {
    const ConverterArgs args = KELVRA_CONVERTER_ARGS;
    auto* gray = args.Params<GrayParams>();
    if (!gray || !args.source || args.Width() <= 0 || args.Height() <= 0) return 0;
    const BayerLayout layout = BayerLayout::ForPhase(gray->phase);
    // 8-bit frames skip the black and saturated bytes; 16-bit frames are measured on their
    // whole samples, skipping black and the ceiling of their depth.
    PositionSums sums;
    if (args.sourceBytesPerPixel == 2) {
        const uint32_t ceiling = static_cast<uint32_t>(SampleCeiling(gray->sampleBits));
        sums = SumByPosition<uint16_t>(args, layout, [ceiling](uint32_t v) { return v != 0 && v < ceiling; });
    } else {
        sums = SumByPosition<uint8_t>(args, layout, [](uint32_t v) { return v != 0 && v != 255; });
    }
    if (sums.Empty(0, 0)) return 1;
    const float meanG1 = static_cast<float>(sums.sum[0][0]) / static_cast<float>(sums.count[0][0]);
    auto gainFor = [&](int32_t rowParity, int32_t columnParity, int32_t& gain) {
        if (sums.Empty(rowParity, columnParity)) return;
        const float mean = static_cast<float>(sums.sum[rowParity][columnParity]) /
                           static_cast<float>(sums.count[rowParity][columnParity]);
        gain = TruncateGain(static_cast<double>(meanG1 / mean * 128.0f));
    };
    gray->gainG1 = 128;
    gainFor(0, 1, gray->gainR);
    gainFor(1, 1, gray->gainG2);
    gainFor(1, 0, gray->gainB);
    return 1;
}
