// The pixel converters: copies and bit-depth shifts, repacking, scaling, measuring,
// Bayer demosaicing and grey gain/offset. Each runs through TransferImage (or
// TransferImageScaled) and reaches its parameter record through param1's slot.
#pragma once

#include <cstdint>

#include "imaging/Transfer.h"

// Bayer conversion and white balance. Gains are percent (100 = unity, 0..400);
// gainGreen is carried for the caller but not applied.
struct BayerParams {
    int32_t phase;
    int32_t gainRed;
    int32_t gainGreen;
    int32_t gainBlue;
};

// Filled by WhiteBalance8/16; phase is the caller's input.
struct WhiteBalanceResult {
    int32_t gainBlue;
    int32_t gainGreen;
    int32_t gainRed;
    int32_t phase;
};

// Grey gain/offset per Bayer position (gains 128 = unity; offsets -255..255). sampleBits
// 10, 12 or 14 limit 16-bit results to that depth; any other value to 65535.
struct GrayParams {
    int32_t phase;
    int32_t gainR;
    int32_t gainG1;
    int32_t gainG2;
    int32_t gainB;
    int32_t offsetR;
    int32_t offsetG1;
    int32_t offsetG2;
    int32_t offsetB;
    int32_t sampleBits;
};

// Copies and bit-depth shifts (param1 unused).
KELVRA_CONVERTER(Convert10To8Reversed);
KELVRA_CONVERTER(Convert12To8Reversed);
KELVRA_CONVERTER(Convert16HighByte);
KELVRA_CONVERTER(Convert16HighByteReversed);
KELVRA_CONVERTER(Shift12To16);
KELVRA_CONVERTER(Shift10To16);
KELVRA_CONVERTER(Copy24);
KELVRA_CONVERTER(Copy24Reversed);
KELVRA_CONVERTER(Swap24);
KELVRA_CONVERTER(CopyRowsReversed);
KELVRA_CONVERTER(Copy32InvertAlpha);
KELVRA_CONVERTER(Convert48To24Shift5);
KELVRA_CONVERTER(Convert48To24Reversed);
KELVRA_CONVERTER(Shift48By4);
KELVRA_CONVERTER(Shift48By6);
KELVRA_CONVERTER(Shift48By4Swap);
KELVRA_CONVERTER(Shift48By6Swap);
KELVRA_CONVERTER(Expand48To64By4);
KELVRA_CONVERTER(Expand48To64By6);
KELVRA_CONVERTER(Expand48To64By4Swap);
KELVRA_CONVERTER(Expand48To64By6Swap);
KELVRA_CONVERTER(GrayFromColor);

// In-place spreading of a tightly packed frame into 4-byte-aligned rows.
KELVRA_CONVERTER(RepackRows8);
KELVRA_CONVERTER(RepackRows16);

// Nearest-neighbour resizing (TransferImageScaled); source rows are read bottom-up.
KELVRA_SCALED_CONVERTER(ScaleNearest24);
KELVRA_SCALED_CONVERTER(ScaleNearest8);

// Measuring converters: the result is the mean, or they fill their record and return 1.
KELVRA_CONVERTER(RegionMean8);
KELVRA_CONVERTER(RegionMean10);
KELVRA_CONVERTER(WhiteBalance8);   // param1 -> WhiteBalanceResult
KELVRA_CONVERTER(WhiteBalance16);  // param1 -> WhiteBalanceResult
KELVRA_CONVERTER(GrayAutoGains);   // param1 -> GrayParams

// Bayer demosaic (param1 -> BayerParams): the interior, then the outer two rows and columns.
KELVRA_CONVERTER(Demosaic8);
KELVRA_CONVERTER(Demosaic8Border);
KELVRA_CONVERTER(Demosaic16);
KELVRA_CONVERTER(Demosaic16Border);

// Grey gain and offset per Bayer position (param1 -> GrayParams).
KELVRA_CONVERTER(GrayGainOffset8);
KELVRA_CONVERTER(GrayGainOffset16);
