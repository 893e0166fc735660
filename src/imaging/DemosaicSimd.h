// Vector rows of the Bayer demosaic into pixels of three or four channels, with the
// arithmetic of the scalar row code, which does any row they leave.
#pragma once

#include <cstdint>

// One output row: the four source rows of its cells (column 0 at index 0) and the
// destination pixel of column 0.
template <typename SampleT>
struct DemosaicRowSpan {
    const SampleT* red;
    const SampleT* redFar;
    const SampleT* blue;
    const SampleT* blueFar;
    SampleT* dest;
    int32_t destChannels;  // 3, or 4 with the fourth channel left as it is
    int32_t width;
    int32_t redParity;  // (column & 1) of the red columns
    int32_t factorRed;  // gain factors, 128 = unity
    int32_t factorBlue;
};

// Writes columns 2 .. n - 1 of the row and returns n: width - 2 when the vector path
// covers the row, 2 when it does not run (no vector tier, or fewer columns than one vector).
int32_t DemosaicRowSimd(const DemosaicRowSpan<uint8_t>& span);
int32_t DemosaicRowSimd(const DemosaicRowSpan<uint16_t>& span);
