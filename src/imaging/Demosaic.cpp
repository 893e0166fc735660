// Bayer demosaicing into 24/32-bit or 48/64-bit colour with red and blue gains.
//
// Each output pixel is the colour at the centre of the 2 x 2 cell whose bottom-right
// sample it sits on: green is the mean of the cell's two greens, red and blue are
// bilinear 9:3:3:1 sums of the four nearest samples of their colour. The sums are
// separable: per column, W = 3 x (sample in the cell row of the column's colour) +
// (sample two rows away), and per pixel own = 3 W[x] + W[x - 2], other = 3 W[x - 1] + W[x + 1],
// where "own" is the colour of column x and "other" the colour of column x - 1.
#include <algorithm>
#include <type_traits>

#include "imaging/BayerLayout.h"
#include "imaging/ConverterArgs.h"
#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"
#include "imaging/DemosaicSimd.h"

namespace {

constexpr int32_t kChunkColumns = 512;

// Gains are turned into integers once (100 % -> 128). The product with a 16-bit sum
// stays within 32 bits for gains up to 400 %, which is the settable range.
int32_t GainFactor(int32_t gainPercent) { return static_cast<int32_t>(std::clamp(gainPercent, 0, 400) * 1.28); }

template <typename SampleT>
struct SampleRange;
template <>
struct SampleRange<uint8_t> {
    static constexpr int32_t kMax = 255;
};
template <>
struct SampleRange<uint16_t> {
    static constexpr int32_t kMax = 65535;
};

template <typename SampleT>
inline SampleT ScaleSum(int32_t sum, int32_t factor) {
    const int32_t product = sum * factor;
    return static_cast<SampleT>(product >= ((SampleRange<SampleT>::kMax + 1) << 11) ? SampleRange<SampleT>::kMax
                                                                                    : product >> 11);
}

// 8-bit sums (at most 16 x 255) take 12 bits and factors (at most 512) 10, so
// (sum x factor) >> 11 is the high half of the 16-bit product (sum << 4) x (factor << 1),
// which vectorises as one multiply per 16 lanes.
template <>
inline uint8_t ScaleSum<uint8_t>(int32_t sum, int32_t factor) {
    const uint32_t high = (static_cast<uint32_t>(static_cast<uint16_t>(sum << 4)) *
                           static_cast<uint32_t>(static_cast<uint16_t>(factor << 1))) >>
                          16;
    return static_cast<uint8_t>(high > 255 ? 255 : high);
}

// Column sums of 8-bit frames fit 16 bits, which doubles the lanes per instruction.
template <typename SampleT>
using ColumnSum = std::conditional_t<sizeof(SampleT) == 1, uint16_t, int32_t>;

// An index outside the frame takes the sample of the same colour four pixels further in;
// frames narrower than four fall back to the nearest index of the same parity.
inline int32_t FoldIndex(int32_t index, int32_t size) {
    if (index < 0) {
        index += 4;
    } else if (index >= size) {
        index -= 4;
    }
    if (index < 0 || index >= size) index = (index & 1) < size ? (index & 1) : 0;
    return index;
}

template <typename SampleT>
class DemosaicJob {
public:
    DemosaicJob(const ConverterArgs& args, const BayerParams& params)
        : args(args),
          layout(BayerLayout::ForPhase(params.phase)),
          factorRed(GainFactor(params.gainRed)),
          factorBlue(GainFactor(params.gainBlue)),
          destStep(args.destBytesPerPixel / static_cast<int32_t>(sizeof(SampleT))),
          width(args.Width()),
          height(args.Height()) {}

    void Interior() const {
        RunKernel([&]() KELVRA_INLINE {
            for (int32_t y = 2; y < height - 2; ++y) Row(y, RowsAround(y, false));
        });
    }

    void Border() const {
        const bool wideEnough = width > 4;
        RunKernel([&]() KELVRA_INLINE {
            for (int32_t y = 0; y < height; ++y) {
                const CellRows rows = RowsAround(y, true);
                const bool borderRow = y < 2 || y >= height - 2;
                if (borderRow && wideEnough) Row(y, rows);
                if (borderRow && !wideEnough) {
                    for (int32_t x = 0; x < width; ++x) Pixel(x, y, rows);
                    continue;
                }
                for (int32_t x = 0; x < std::min(2, width); ++x) Pixel(x, y, rows);
                for (int32_t x = std::max(2, width - 2); x < width; ++x) Pixel(x, y, rows);
            }
        });
    }

private:
    // The four source rows the output row y reads: the red and blue rows of its cell and
    // the rows two away from each.
    struct CellRows {
        const SampleT* red;
        const SampleT* redFar;
        const SampleT* blue;
        const SampleT* blueFar;
    };

    const SampleT* SourceRow(int32_t row, bool fold) const {
        const int32_t r = fold ? FoldIndex(row, height) : row;
        return reinterpret_cast<const SampleT*>(args.SourceRowAt(args.rect.top + r));
    }

    CellRows RowsAround(int32_t y, bool fold) const {
        const int32_t redRow = layout.IsRedRow(y - 1) ? y - 1 : y;
        const int32_t blueRow = redRow == y ? y - 1 : y;
        const int32_t redFar = redRow == y ? y - 2 : y + 1;
        const int32_t blueFar = blueRow == y ? y - 2 : y + 1;
        return CellRows{SourceRow(redRow, fold), SourceRow(redFar, fold), SourceRow(blueRow, fold),
                        SourceRow(blueFar, fold)};
    }

    SampleT* DestPixel(int32_t x, int32_t y) const {
        return reinterpret_cast<SampleT*>(args.DestRow(y)) + static_cast<intptr_t>(x) * destStep;
    }

    [[gnu::always_inline]] inline void Store(SampleT* d, int32_t own, int32_t other, int32_t greenSum,
                                             bool redColumn) const {
        const int32_t red = redColumn ? own : other;
        const int32_t blue = redColumn ? other : own;
        d[0] = ScaleSum<SampleT>(blue, factorBlue);
        d[1] = static_cast<SampleT>(greenSum >> 1);
        d[2] = ScaleSum<SampleT>(red, factorRed);
    }

    // Columns firstColumn .. width - 3 of output row y, in chunks so the column sums stay on
    // the stack. Step is the destination pixel size in samples, fixed so the stores vectorise.
    template <int Step>
    [[gnu::always_inline]] inline void RowWithStep(int32_t y, const CellRows& rows, int32_t firstColumn) const {
        const int32_t redParity = layout.columnParity0;  // (column & 1) of the red columns
        ColumnSum<SampleT> sums[kChunkColumns + 4];
        ColumnSum<SampleT> greens[kChunkColumns + 4];
        SampleT* d = DestPixel(0, y);
        for (int32_t start = firstColumn; start < width - 2; start += kChunkColumns) {
            const int32_t end = std::min(start + kChunkColumns, width - 2);
            const int32_t first = start - 2;
            const SampleT* const red = rows.red;
            const SampleT* const redFar = rows.redFar;
            const SampleT* const blue = rows.blue;
            const SampleT* const blueFar = rows.blueFar;
            for (int32_t c = first; c < end + 2; ++c) {
                // Both colours are read and the column's one picked with a mask, which the
                // compiler vectorises where a conditional would not be.
                const int32_t inRedRow = red[c];
                const int32_t inBlueRow = blue[c];
                const int32_t redSum = 3 * inRedRow + redFar[c];
                const int32_t blueSum = 3 * inBlueRow + blueFar[c];
                const int32_t redColumnMask = -(((c & 1) ^ redParity ^ 1));
                sums[c - first] = static_cast<ColumnSum<SampleT>>(blueSum + ((redSum - blueSum) & redColumnMask));
                greens[c - first] =
                    static_cast<ColumnSum<SampleT>>(inRedRow + ((inBlueRow - inRedRow) & redColumnMask));
            }
            // Planar channels first, then one interleaving pass: both loops stay simple
            // enough to vectorise well.
            using Sum = ColumnSum<SampleT>;
            SampleT blueOut[kChunkColumns], greenOut[kChunkColumns], redOut[kChunkColumns];
            const int32_t count = end - start;
            for (int32_t n = 0; n < count; ++n) {
                const int32_t i = n + 2;
                const Sum own = static_cast<Sum>(3 * sums[i] + sums[i - 2]);
                const Sum other = static_cast<Sum>(3 * sums[i - 1] + sums[i + 1]);
                const bool redColumn = ((start + n) & 1) == redParity;
                blueOut[n] = ScaleSum<SampleT>(redColumn ? other : own, factorBlue);
                greenOut[n] = static_cast<SampleT>((greens[i - 1] + greens[i]) >> 1);
                redOut[n] = ScaleSum<SampleT>(redColumn ? own : other, factorRed);
            }
            SampleT* p = d + static_cast<intptr_t>(start) * Step;
            for (int32_t n = 0; n < count; ++n) {
                p[n * Step] = blueOut[n];
                p[n * Step + 1] = greenOut[n];
                p[n * Step + 2] = redOut[n];
            }
        }
    }

    [[gnu::always_inline]] inline void Row(int32_t y, const CellRows& rows) const {
        // The vector row does the whole row where the CPU has AVX2 and the row is at least a
        // vector wide; the scalar code does what it leaves.
        const DemosaicRowSpan<SampleT> span{rows.red,        rows.redFar, rows.blue, rows.blueFar,
                                            DestPixel(0, y), destStep,    width,     layout.columnParity0,
                                            factorRed,       factorBlue};
        const int32_t firstColumn = DemosaicRowSimd(span);
        if (destStep == 3) {
            RowWithStep<3>(y, rows, firstColumn);
        } else {
            RowWithStep<4>(y, rows, firstColumn);
        }
    }

    // One pixel with every neighbour folded into the frame (borders and narrow frames);
    // rows are the folded cell rows of y.
    void Pixel(int32_t x, int32_t y, const CellRows& rows) const {
        int32_t sums[4], greens[4];  // columns x - 2 .. x + 1
        for (int32_t i = 0; i < 4; ++i) {
            const int32_t c = x - 2 + i;
            const int32_t f = FoldIndex(c, width);
            const bool redColumn = layout.IsRedColumn(c);
            sums[i] = redColumn ? 3 * rows.red[f] + rows.redFar[f] : 3 * rows.blue[f] + rows.blueFar[f];
            greens[i] = redColumn ? rows.blue[f] : rows.red[f];
        }
        Store(DestPixel(x, y), 3 * sums[2] + sums[0], 3 * sums[1] + sums[3], greens[1] + greens[2],
              layout.IsRedColumn(x));
    }

    const ConverterArgs& args;
    BayerLayout layout;
    int32_t factorRed;
    int32_t factorBlue;
    int32_t destStep;
    int32_t width;
    int32_t height;
};

template <typename SampleT, bool BorderPass>
int64_t Demosaic(const ConverterArgs& args) {
    const auto* params = args.Params<BayerParams>();
    if (!params) return 0;
    // Destination pixels of three or four channels (24/32-bit from 8-bit frames, 48/64-bit from 16-bit).
    const size_t destChannels = args.destBytesPerPixel / sizeof(SampleT);
    if (destChannels != 3 && destChannels != 4) return 0;
    if (args.Empty()) return 1;
    const DemosaicJob<SampleT> job(args, *params);
    if (BorderPass) {
        job.Border();
    } else {
        job.Interior();
    }
    return 1;
}

}  // namespace

KELVRA_CONVERTER(Demosaic8) { return Demosaic<uint8_t, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Demosaic8Border) { return Demosaic<uint8_t, true>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Demosaic16) { return Demosaic<uint16_t, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Demosaic16Border) { return Demosaic<uint16_t, true>(KELVRA_CONVERTER_ARGS); }
