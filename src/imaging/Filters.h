// The software filters of the frame pipeline: brightness, contrast, gamma, sharpness and
// hue/saturation. Each has one converter per output format and runs in place through
// TransferImage (sharpness reads a copy of the image as its source).
#pragma once

#include <cstdint>

#include "imaging/Transfer.h"

// Parameter record of brightness (-255..255), contrast (-127..127), gamma (0..200, 100 =
// neutral) and sharpness (0..30).
struct FilterSetting {
    int32_t value;
};

// Parameter record of the hue/saturation filter: hue -360..360 degrees, lightness (only 0
// is defined), saturation -255..255, sample bits (16).
struct HueSaturationParams {
    int32_t hue;
    int32_t lightness;
    int32_t saturation;
    int32_t sampleBits;
};

// Members per output format: Gray8 (8-bit grey), Gray16 (16-bit grey), Color8 (blue,
// green, red bytes of 24- or 32-bit pixels), Color16 (blue, green, red 16-bit samples of
// 48- or 64-bit pixels). A fourth byte or sample is left as it is.
KELVRA_CONVERTER(BrightnessGray8);
KELVRA_CONVERTER(BrightnessGray16);
KELVRA_CONVERTER(BrightnessColor8);
KELVRA_CONVERTER(BrightnessColor16);
KELVRA_CONVERTER(ContrastGray8);
KELVRA_CONVERTER(ContrastGray16);
KELVRA_CONVERTER(ContrastColor8);
KELVRA_CONVERTER(ContrastColor16);
KELVRA_CONVERTER(GammaGray8);
KELVRA_CONVERTER(GammaGray16);
KELVRA_CONVERTER(GammaColor8);
KELVRA_CONVERTER(GammaColor16);
// Sharpness reads the source (an unfiltered copy) and writes the destination; the outer
// two rows and columns of the destination are not written.
KELVRA_CONVERTER(SharpnessGray8);
KELVRA_CONVERTER(SharpnessGray16);
KELVRA_CONVERTER(SharpnessColor8);
KELVRA_CONVERTER(SharpnessColor16);
// Hue/saturation on 24/32-bit pixels, and on the upper bytes of 48- and 64-bit pixels
// (the 64-bit member also sets alpha to 0).
KELVRA_CONVERTER(HueSaturationColor8);
KELVRA_CONVERTER(HueSaturation48);
KELVRA_CONVERTER(HueSaturation64);

enum class FilterKind { HueSaturation, Gamma, Contrast, Sharpness, Brightness };

// The member of a filter for an image of bitsPerPixel (8, 16, 24, 32, 48 or 64), or null
// when the filter does not apply to that format (hue/saturation on grey).
ConverterFn FilterConverterFor(FilterKind kind, uint16_t bitsPerPixel);
