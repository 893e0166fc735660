// Sharpness, an unsharp mask: out = copy + k/10 x (copy - blur), truncated toward zero and
// clamped, where blur is the mean of the 4 x 4 block at columns x - 2 .. x + 1 and rows
// y - 2 .. y + 1 of the copy. The block sum is separable: four rows summed per sample,
// then four columns of those sums.
#include <algorithm>

#include "imaging/ConverterArgs.h"
#include "imaging/CpuDispatch.h"
#include "imaging/Filters.h"

namespace {

constexpr int32_t kChunkSamples = 1024;

template <typename SampleT, int Channels>
class SharpenJob {
public:
    SharpenJob(const ConverterArgs& args, int32_t strength)
        : args(args),
          strength(strength),
          step(args.destBytesPerPixel / static_cast<int32_t>(sizeof(SampleT))),
          width(args.Width()),
          height(args.Height()) {}

    bool Valid() const {
        return step >= Channels && step <= kMaxStep && args.sourceBytesPerPixel == args.destBytesPerPixel;
    }

    void Run() const {
        RunKernel([&]() KELVRA_INLINE {
            for (int32_t y = 2; y < height - 2; ++y) Row(y);
        });
    }

private:
    static constexpr int32_t kMax = sizeof(SampleT) == 1 ? 255 : 65535;
    static constexpr int32_t kMaxStep = 8;

    // truncate(k x difference / 10). The product is an integer below 2^24, so it is exact
    // in single precision, and the rounding of the multiply by 0.1f stays far from the next
    // integer (0.1f errs by 1.5e-8 relative, a non-multiple of 10 lies 0.1 from one), which
    // keeps the truncation exact while it vectorises.
    [[gnu::always_inline]] inline int32_t Correction(int32_t difference) const {
        return static_cast<int32_t>(static_cast<float>(strength * difference) * 0.1f);
    }

    const SampleT* SourceRow(int32_t y) const {
        return reinterpret_cast<const SampleT*>(args.SourceRowAt(args.rect.top + y));
    }

    // Samples 2 x step .. (width - 2) x step of the row, in chunks kept on the stack.
    [[gnu::always_inline]] inline void Row(int32_t y) const {
        const SampleT* rows[4] = {SourceRow(y - 2), SourceRow(y - 1), SourceRow(y), SourceRow(y + 1)};
        const SampleT* centre = rows[2];
        auto* d = reinterpret_cast<SampleT*>(args.DestRow(y));
        const int32_t step = this->step;
        int32_t columnSums[kChunkSamples + 3 * kMaxStep];
        SampleT sharpened[kChunkSamples];
        const int32_t rowEnd = (width - 2) * step;
        for (int32_t start = 2 * step; start < rowEnd; start += kChunkSamples) {
            const int32_t end = std::min(start + kChunkSamples, rowEnd);
            const int32_t first = start - 2 * step;
            const int32_t last = end + step;  // one past the last column sum needed
            for (int32_t i = first; i < last; ++i) {
                columnSums[i - first] = rows[0][i] + rows[1][i] + rows[2][i] + rows[3][i];
            }
            for (int32_t i = start; i < end; ++i) {
                const int32_t j = i - first;
                const int32_t blur =
                    (columnSums[j - 2 * step] + columnSums[j - step] + columnSums[j] + columnSums[j + step]) >> 4;
                const int32_t original = centre[i];
                const int32_t value = original + Correction(original - blur);
                sharpened[i - start] = static_cast<SampleT>(std::clamp(value, 0, kMax));
            }
            if (step == Channels) {
                std::copy(sharpened, sharpened + (end - start), d + start);
            } else {
                // A fourth sample per pixel is not the filter's to change. Chunks start on
                // a pixel boundary (2 x step, then multiples of kChunkSamples).
                for (int32_t i = start; i < end; i += step) {
                    for (int32_t c = 0; c < Channels; ++c) d[i + c] = sharpened[i - start + c];
                }
            }
        }
    }

    const ConverterArgs& args;
    int32_t strength;
    int32_t step;
    int32_t width;
    int32_t height;
};

template <typename SampleT, int Channels>
int64_t Sharpen(const ConverterArgs& args) {
    const auto* setting = args.Params<FilterSetting>();
    if (!setting) return 0;
    if (args.Empty()) return 1;
    // The settable range; beyond it the products would leave 32 bits.
    const SharpenJob<SampleT, Channels> job(args, std::clamp(setting->value, 0, 30));
    if (!job.Valid()) return 0;
    job.Run();
    return 1;
}

}  // namespace

KELVRA_CONVERTER(SharpnessGray8) { return Sharpen<uint8_t, 1>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(SharpnessGray16) { return Sharpen<uint16_t, 1>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(SharpnessColor8) { return Sharpen<uint8_t, 3>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(SharpnessColor16) { return Sharpen<uint16_t, 3>(KELVRA_CONVERTER_ARGS); }
