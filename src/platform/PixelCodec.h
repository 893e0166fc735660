// Row kernels that turn pixels of any DIB format into 0x00RRGGBB values and back. Every blit,
// fill and pixel access runs through these, one row at a time.
#pragma once

#include "Surface.h"

#include <cstdint>

namespace kelvra::platform {

// out[i] = colour of the pixel at column xs[i] of row.
void UnpackRow(const PixelFormat& format, const BYTE* row, const int* xs, int count, uint32_t* out);

// Writes count pixels from column x on; indexed formats take the nearest colour of their table.
void PackRow(const PixelFormat& format, BYTE* row, int x, int count, const uint32_t* colors);

inline uint32_t RgbFromColorref(COLORREF color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

inline COLORREF ColorrefFromRgb(uint32_t rgb) { return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16); }

}  // namespace kelvra::platform
