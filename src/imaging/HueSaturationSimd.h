// Vector rows of the hue/saturation filter on 24- and 32-bit pixels, bit-exact with the
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

// One row of 8-bit pixels of three or four bytes (a fourth byte is kept), source and
// destination possibly the same. Returns how many leading pixels were written.
int32_t HueSaturationRowSimd(const uint8_t* source, uint8_t* dest, int32_t width, int32_t bytesPerPixel,
                             const HueSaturationSteps& steps);
