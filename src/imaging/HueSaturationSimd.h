// Vector rows of the hue/saturation filter, bit-exact with the
// scalar kernel of HueSaturationFilter.cpp, which finishes the pixels they leave.
#pragma once

#include <array>
#include <cstdint>

// 16711680 / chroma, so the position within a sector scales to 0..255 without a division.
inline constexpr std::array<int32_t, 256> kHueReciprocals = [] {
    std::array<int32_t, 256> table{};
    for (int32_t i = 1; i < 256; ++i) table[i] = 16711680 / i;
    return table;
}();

// The settings of one call in the form the kernels use.
struct HueSaturationSteps {
    int32_t shiftWithin;    // hue shift mod 255
    int32_t shiftSectors;   // hue shift / 255
    int32_t saturationMul;  // (saturation + 256) x 256
};

// The pixel formats with a vector row: 8-bit blue, green, red with or without a fourth
// byte that is kept, and 16-bit blue, green, red with or without an alpha that is cleared.
enum class HuePixelFormat { Bgr24, Bgrx32, Bgr48, Bgr64ClearAlpha };

// One row, source and destination possibly the same. Returns how many leading pixels
// were written.
int32_t HueSaturationRowSimd(const uint8_t* source, uint8_t* dest, int32_t width, HuePixelFormat format,
                             const HueSaturationSteps& steps);
